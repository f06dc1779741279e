#!/usr/bin/env bash
# Runs every test of the project: the native unit tests of the portable core
# (built with g++ and with clang), the Windows build with warnings as errors, the report's charts in a real
# browser, and the end-to-end tests of the Windows program under Wine.
# Everything it needs is installed (once) by the scripts it calls.
#   scripts/test.sh                  every test
#   scripts/test.sh --reliability    also the long runs: a 20-minute soak and a resize storm
set -euo pipefail
reliability=0
[ "${1:-}" = --reliability ] && reliability=1
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=$(nproc 2>/dev/null || echo 2)

bash scripts/setup-host.sh

echo "== layering of the sources"
bash scripts/check-layers.sh

echo "== native build and unit tests"
cmake --preset native -DORVALIS_BENCHMARKS=ON >/dev/null
cmake --build build/native -j"$jobs"
ctest --test-dir build/native --output-on-failure -j"$jobs"

echo "== the same with clang (a second compiler's warnings, as errors)"
cmake --preset clang >/dev/null
cmake --build build/clang -j"$jobs"
ctest --test-dir build/clang --output-on-failure -j"$jobs"

echo "== report charts in Chromium"
bash tests/browser/run.sh

echo "== Windows executable under Wine (mingw-w64 build with warnings as errors, GPU and end-to-end tests)"
bash scripts/test-windows.sh

if [ $reliability = 1 ]; then
  echo "== reliability: resize storm and soak under Wine"
  bash scripts/wine-env.sh run bash tests/reliability/resize_storm.sh
  bash scripts/wine-env.sh run bash tests/reliability/soak.sh
fi

echo "== all tests passed"
