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
# It starts on the oldest Windows the README names: no import of a function
# added later (the loader refuses such an executable before main).
newer=$(awk '/DLL Name:/ { dll = tolower($3) } NF == 3 && $1 ~ /^[0-9a-f]+$/ { print dll, $3 }' <<<"$imports" |
  grep -Fxf <(grep -v '^#' scripts/windows/after-1607.txt | awk 'NF { print $1, $2 }') || true)
if [ -n "$newer" ]; then
  echo "test-windows: OrvalisBench.exe imports what Windows 10 1607 lacks: $newer" >&2
  exit 1
fi
echo "ok - OrvalisBench.exe imports nothing that Windows 10 1607 lacks"
mkdir -p artifacts
status=0
bash scripts/wine-env.sh run bash tests/e2e/all.sh "$@" || status=$?
# The results files the Windows program wrote (kept in artifacts/ by the
# tests) against the published schema, with the host's JSON Schema validator.
if [ $# = 0 ]; then
  python=$(command -v /usr/bin/python3 python3 | head -1)
  "$python" tests/schema/validate_results.py schema/results-v2.schema.json artifacts/deterministic-window.json \
    artifacts/deterministic-command-line.json artifacts/aborted-from-panel.json || status=1
fi
exit $status
