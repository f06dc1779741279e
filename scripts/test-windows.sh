#!/usr/bin/env bash
# Builds the Windows executable and runs its GPU and end-to-end tests under
# Wine on a virtual screen. Screenshots land in artifacts/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/prepare-windows.sh
# The frame clock reads the performance counter itself in every build.
imports=$(x86_64-w64-mingw32-objdump -p build/mingw/OrvalisBench.exe)
if ! grep -q 'QueryPerformanceCounter' <<<"$imports"; then
  echo "test-windows: OrvalisBench.exe does not import QueryPerformanceCounter" >&2
  exit 1
fi
echo "ok - OrvalisBench.exe imports QueryPerformanceCounter"
# A prompt waits only for a console program: the companion must be one.
headers=$(x86_64-w64-mingw32-objdump -p build/mingw/OrvalisBench.com)
if ! grep -q 'Subsystem.*(Windows CUI)' <<<"$headers"; then
  echo "test-windows: OrvalisBench.com is not a console-subsystem program" >&2
  exit 1
fi
echo "ok - OrvalisBench.com is a console program"
mkdir -p artifacts
bash scripts/wine-env.sh run bash tests/e2e/all.sh "$@"
