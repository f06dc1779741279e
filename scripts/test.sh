#!/usr/bin/env bash
# Runs every test of the project: the native unit tests of the portable core
# (built with g++ and with clang), the Windows build with warnings as errors,
# the report's charts in a real browser, and the GPU and end-to-end tests of
# the Windows program under Wine. These four stages run side by side, each
# into its own log (build/test-logs/), which is printed when the stage fails;
# the Windows stage, the longest, runs at full priority, the native builds
# take what CPU it leaves.
# Everything it needs is installed (once) by the scripts it calls.
#   scripts/test.sh                  every test
#   scripts/test.sh --reliability    also the long runs: a 20-minute soak and a resize storm
set -euo pipefail
reliability=0
[ "${1:-}" = --reliability ] && reliability=1
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)
began=$SECONDS

bash scripts/setup-host.sh
bash scripts/check-layers.sh
logs=build/test-logs
rm -rf "$logs"
mkdir -p "$logs"

# Starts stage $1 at niceness $2: the command $3... in the background.
stage() {
  local name=$1 niceness=$2
  shift 2
  (
    renice -n "$niceness" -p $BASHPID >/dev/null
    start=$SECONDS status=0
    "$@" >"$logs/$name.log" 2>&1 || status=$?
    echo "$status $((SECONDS - start))" >"$logs/$name.result"
  ) &
}

# The portable core's unit tests built with preset $1 (benchmark programs are
# built and run by whoever measures).
unit_tests() {
  bash scripts/configure.sh "$1" -DORVALIS_BENCHMARKS=OFF && cmake --build "build/$1" -j"$jobs" &&
    ctest --test-dir "build/$1" --output-on-failure -j"$jobs"
}

stage windows 0 bash scripts/test-windows.sh
stage browser 0 bash tests/browser/run.sh
stage native 10 unit_tests native
stage clang 10 unit_tests clang
wait

failed=0
for name in native clang browser windows; do
  read -r status took <"$logs/$name.result" || status="none (it was stopped)" took=?
  if [ "$status" = 0 ]; then
    echo "== $name: passed in $took s"
    grep -E '^(ok|FAIL) - |^-- |passed|^# (pass|fail) ' "$logs/$name.log" | sed 's/^/   /' || true
  else
    failed=1
    echo "== $name: FAILED (exit code $status) after $took s; its log ($logs/$name.log):"
    cat "$logs/$name.log"
  fi
done

if [ $reliability = 1 ] && [ $failed = 0 ]; then
  echo "== reliability: resize storm and soak under Wine"
  bash scripts/wine-env.sh run bash tests/reliability/resize_storm.sh
  bash scripts/wine-env.sh run bash tests/reliability/soak.sh
fi

bash scripts/count-lines.sh
echo "== $([ $failed = 0 ] && echo 'all tests passed' || echo 'some tests FAILED') in $((SECONDS - began)) s"
exit $failed
