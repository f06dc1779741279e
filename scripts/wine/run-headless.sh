#!/bin/bash
# Plays the default benchmark hands-free on a virtual screen through the
# program's command line (no window waits for a person), saves a screenshot
# of it running, and prints the score and where the report and results went.
set -u
. "$ORVALIS_REPO/scripts/wine/lib.sh"
out=$ORVALIS_REPO/artifacts/run
mkdir -p "$out"
ARTIFACTS=$out
trap 'kill_program; stop_screen' EXIT
start_screen || exit 1

marker=$(mktemp)
echo "run: OrvalisBench.exe --benchmark single --output artifacts/run (one 40 s run at 854 x 480 after 3 s of warm-up and pause)"
(cd "$out" && exec wine "$EXE" --benchmark single --output "Z:${out//\//\\}" >"$out/stdout.txt" 2>"$out/debug-output.txt") &
program_pid=$!
work=$out
if find_window "$MAIN_TITLE" 120 >/dev/null; then
  sleep 20
  screenshot benchmark-running.png
fi
code=0
wait "$program_pid" || code=$?
program_pid=
results=$(find "$out" -maxdepth 1 -name 'benchmark_*.json' -newer "$marker" | sort | tail -1)
report=$(find "$out" -maxdepth 1 -name 'benchmark_*.html' -newer "$marker" | sort | tail -1)
rm -f "$marker"
if [ "$code" != 0 ] || [ -z "$results" ]; then
  echo "run: the benchmark did not complete (exit code $code); see artifacts/run/debug-output.txt" >&2
  exit 1
fi
score=$(sed -n 's/^ *"meanScore": \([0-9.]*\).*/\1/p' "$results" | head -1)
echo "run: score ${score%.*}"
echo "run: report  artifacts/run/$(basename "$report")"
echo "run: results artifacts/run/$(basename "$results")"
echo "run: screenshot artifacts/run/benchmark-running.png"
