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
