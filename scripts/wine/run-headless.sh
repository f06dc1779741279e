#!/bin/bash
# Plays the default benchmark hands-free on a virtual screen: presses "Start"
# on the startup window, waits for "Benchmark Finished", saves a screenshot,
# dismisses the box, closes the program and says where the report went.
set -u
. "$ORVALIS_REPO/scripts/wine/lib.sh"
out=$ORVALIS_REPO/artifacts/run
mkdir -p "$out"
ARTIFACTS=$out
trap 'kill_program; stop_screen' EXIT
start_screen || exit 1

echo "run: starting OrvalisBench.exe on a virtual screen (working directory artifacts/run)"
marker=$(mktemp)
(cd "$out" && exec wine "$EXE" >"$out/stdout.txt" 2>"$out/debug-output.txt") &
program_pid=$!
work=$out

startup=$(find_window "$STARTUP_TITLE" 120) || { echo "run: the startup window did not appear" >&2; exit 1; }
screenshot startup-window.png
click_at "$startup" 85 408   # "Start" with the defaults: one 40 s benchmark at 854 x 480
echo "run: $(program_stdout | head -1)"
echo "run: benchmarking (1 s warm-up, 2 s pause, 40 s run)..."
box=$(find_window '^Benchmark Finished$' 900) || { echo "run: the benchmark did not finish" >&2; exit 1; }
screenshot benchmark-finished.png
click_at "$box" 5 5
press Return
main=$(find_window "$MAIN_TITLE" 10) && { xdotool mousemove --window "$main" 300 300 click 1; close_focused_window; }
exits_cleanly 60 || echo "run: the program did not end cleanly" >&2
report=$(find "$out" -maxdepth 1 -name 'benchmark_*.html' -newer "$marker" | sort | tail -1)
rm -f "$marker"
if [ -n "$report" ]; then
  echo "run: report written to artifacts/run/$(basename "$report")"
  echo "run: screenshot saved to artifacts/run/benchmark-finished.png"
else
  echo "run: no report was written" >&2
  exit 1
fi
