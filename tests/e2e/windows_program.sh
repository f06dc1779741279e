#!/bin/bash
# End-to-end tests of OrvalisBench.exe under Wine on a virtual screen, driven
# with xdotool. Run inside the Wine environment by scripts/test-windows.sh.
# Startup-window coordinates are those of its layout at 96 dots per inch.
set -u
. "$ORVALIS_REPO/scripts/wine/lib.sh"

START=(85 408)
EXIT=(305 408)
EXTREME=(287 202)
MULTI=(210 312)
JUST_PLAY=(35 338)
DETERMINISTIC=(35 370)

cleanup() { kill_program; stop_screen; }
trap cleanup EXIT
start_screen || exit 1

test_exit_button() {
  start_program
  local s; s=$(find_window "$STARTUP_TITLE" 60) || return 1
  screenshot startup-window.png
  click_at "$s" "${EXIT[@]}"
  exits_cleanly 30 || return 1
  ! program_stdout | grep -q 'Config'
}

test_close_box() {
  start_program
  local s; s=$(find_window "$STARTUP_TITLE" 60) || return 1
  xdotool mousemove --window "$s" 200 150
  close_focused_window
  exits_cleanly 30 || return 1
  ! program_stdout | grep -q 'Config'
}

test_choices_reach_the_configuration() {
  start_program
  local s; s=$(find_window "$STARTUP_TITLE" 60) || return 1
  click_at "$s" "${EXTREME[@]}"
  click_at "$s" "${MULTI[@]}"
  click_at "$s" "${JUST_PLAY[@]}"
  screenshot startup-choices.png
  click_at "$s" "${START[@]}"
  local m; m=$(find_window "$MAIN_TITLE" 60) || return 1
  program_stdout | grep -qx '\[DX12\] Config: 1920x1080, debris=640, vsync=off, mode=play' || return 1
  [ "$(client_size "$m")" = 1920x1080 ] || return 1
  xdotool mousemove --window "$m" 300 300
  close_focused_window
  exits_cleanly 60
}

test_default_start_opens_the_game() {
  start_program
  local s; s=$(find_window "$STARTUP_TITLE" 60) || return 1
  click_at "$s" "${START[@]}"
  local m; m=$(find_window "$MAIN_TITLE" 60) || return 1
  program_stdout | grep -qx '\[DX12\] Config: 854x480, debris=80, vsync=off, mode=single' || return 1
  [ "$(client_size "$m")" = 854x480 ] || return 1
  # The first frame-rate window closes after a second of frames; the first
  # frames under lavapipe are slow, so a few seconds are allowed.
  local shown=$SECONDS
  find_window '^Orvalis Benchmark DX12 - Zandor \| FPS: [0-9]+' 10 >/dev/null || return 1
  echo "  telemetry title after $((SECONDS - shown)) s"
  xdotool mousemove --window "$m" 400 240
  press 1
  local i
  for i in $(seq 1 50); do
    debug_lines | grep -q '^SpawnBall: ADD mode created 1 ball' && break
    sleep 0.2
  done
  debug_lines | grep -q '^SpawnBall: ADD mode created 1 ball' || return 1
  screenshot main-window.png
  # The window shows the level, not a black frame.
  eval "$(xdotool getwindowgeometry --shell "$m")"
  region_has_content "$ARTIFACTS/main-window.png" "854x480+$X+$Y" || return 1
  # Alt+Enter leaves the window as it is (no exclusive full screen) and the frames go on.
  press alt+Return
  sleep 3
  kill -0 "$program_pid" 2>/dev/null || return 1
  [ "$(client_size "$m")" = 854x480 ] || return 1
  xdotool search --name '^Fatal error$' >/dev/null 2>&1 && return 1
  screenshot main-window-after-alt-enter.png
  region_has_content "$ARTIFACTS/main-window-after-alt-enter.png" "854x480+$X+$Y" || return 1
  close_focused_window
  exits_cleanly 60
}

# A user's drag of the window frame: a window manager resizes the window in
# steps and the program follows every size.
test_resizing_keeps_rendering() {
  openbox >/dev/null 2>&1 &
  local wm=$!
  sleep 1
  start_program
  local ok=1 s m size
  s=$(find_window "$STARTUP_TITLE" 60) || ok=0
  if [ $ok = 1 ]; then
    click_at "$s" "${JUST_PLAY[@]}"
    click_at "$s" "${START[@]}"
    m=$(find_window '^Orvalis Benchmark DX12 - Zandor \| FPS: [0-9]+' 90) || ok=0
  fi
  if [ $ok = 1 ]; then
    for size in "950 540" "1100 620" "1280 720"; do
      xdotool windowsize "$m" $size
      sleep 0.5
    done
    local i
    for i in $(seq 1 75); do
      debug_lines | grep -q '^OnResize: Successfully resized to 1280x720' && break
      sleep 0.2
    done
    debug_lines | grep -q '^OnResize: Successfully resized to 1280x720' || ok=0
    [ "$(client_size "$m")" = 1280x720 ] || ok=0
  fi
  if [ $ok = 1 ]; then
    sleep 3
    screenshot main-window-resized.png
    eval "$(xdotool getwindowgeometry --shell "$m")"
    region_has_content "$ARTIFACTS/main-window-resized.png" "1280x720+$X+$Y" || ok=0
    kill -0 "$program_pid" 2>/dev/null || ok=0
    xdotool mousemove --window "$m" 300 300 click 1
    close_focused_window
    exits_cleanly 60 || ok=0
  fi
  kill "$wm" 2>/dev/null
  wait "$wm" 2>/dev/null
  [ $ok = 1 ]
}

# Runs a benchmark from the startup window to its summary box; $1 extra clicks.
# The GPU work is watched by Vulkan's validation layers.
run_benchmark_to_summary() {
  VK_INSTANCE_LAYERS=$VALIDATION start_program
  local s; s=$(find_window "$STARTUP_TITLE" 60) || return 1
  if [ "${1:-}" = deterministic ]; then click_at "$s" "${DETERMINISTIC[@]}"; fi
  click_at "$s" "${START[@]}"
  local box; box=$(find_window '^Benchmark Finished$' 400) || return 1
  screenshot benchmark-finished.png
  ls "$work"/benchmark_*.html >/dev/null 2>&1 || return 1
  xdotool mousemove --window "$box" 10 10
  press Return
  window_gone '^Benchmark Finished$' 30 || return 1
  local m; m=$(find_window "$MAIN_TITLE" 10) || return 1
  xdotool mousemove --window "$m" 300 300
  close_focused_window
  exits_cleanly 60 || return 1
  local found; found=$(validation_errors "$work/stdout.txt" "$work/stderr.txt")
  [ -z "$found" ] || { echo "  validation errors:"; echo "$found" | head -20 | sed 's/^/    /'; return 1; }
}

test_single_benchmark_runs_to_its_report() {
  run_benchmark_to_summary || return 1
  local report; report=$(ls "$work"/benchmark_*.html | head -1)
  grep -q '(Single Run)</h1>' "$report" || return 1
  cp "$report" "$ARTIFACTS/single-benchmark-report.html"
  debug_lines | grep -q '^Benchmark: All runs complete. Total recorded runs: 1'
}

# The run's 0.1 s records of a report: "time bricks balls" per line.
report_records() {
  tr -d '\r' <"$1" | sed -n 's/.*{time:\([0-9.]*\),.*,bricks:\([0-9.]*\),balls:\([0-9.]*\),isOutlier.*/\1 \2 \3/p'
}

# Two deterministic runs play the same game at the same sampled time, whatever
# their frame rates: the bricks and balls of their 0.1 s records agree, and so
# do their averages over the run's time (within 2 %). The score box's
# averages are weighted by frames, so they also follow how the frame rate
# varied in each run; they are printed for comparison.
test_deterministic_benchmark_repeats() {
  local frames report
  for attempt in 1 2; do
    run_benchmark_to_summary deterministic || return 1
    report=$(ls "$work"/benchmark_*.html | head -1)
    grep -q '(Deterministic - Single Run)</h1>' "$report" || return 1
    frames=$(tr -d '\r' <"$report" | grep -A1 'TOTAL FRAMES' | sed -n 's/.*score-value">\([0-9]*\)<.*/\1/p')
    echo "  deterministic run $attempt: $frames frames; $(tr -d '\r' <"$report" | grep -o 'Avg Balls: [0-9.]* | Avg Bricks: [0-9.]*')"
    [ -n "$frames" ] && [ "$frames" -gt 0 ] || return 1
    report_records "$report" >"/tmp/orvalis-deterministic-$attempt.txt"
    cp "$report" "$ARTIFACTS/deterministic-report-$attempt.html"
    [ "$attempt" = 1 ] && { kill_program; rm -rf "$work"; }
  done
  awk 'FNR == NR { bricks[$1] = $2; balls[$1] = $3; next }
    ($1 in bricks) { n++; same += (bricks[$1] - $2 < 0.5 && $2 - bricks[$1] < 0.5);
                     b1 += bricks[$1]; b2 += $2; l1 += balls[$1]; l2 += $3 }
    END {
      printf "  %d records in common, %d with the same bricks; over time: bricks %.2f and %.2f, balls %.3f and %.3f\n",
        n, same, b1 / n, b2 / n, l1 / n, l2 / n
      if (n < 500 || same < 0.95 * n) exit 1
      if (b1 - b2 > 0.02 * b1 || b2 - b1 > 0.02 * b1 || l1 - l2 > 0.02 * l1 || l2 - l1 > 0.02 * l1) exit 1
    }' /tmp/orvalis-deterministic-1.txt /tmp/orvalis-deterministic-2.txt
}

# Starts the program from a copy of the run directory whose shader file is
# replaced by $1 (or missing when $1 is empty), presses Start and waits for
# the "Fatal error" box. Messages sent to the main window meanwhile must find
# no App; Return dismisses the box and the program ends with exit code 0.
fatal_error_with_shader() {
  local dir; dir=$(mktemp -d /tmp/orvalis-run.XXXXXX)
  cp "$RUN_DIR/OrvalisBench.exe" "$RUN_DIR/d3dcompiler_47.dll" "$dir/"
  [ -n "$1" ] && cp "$1" "$dir/orvalis_shaders.hlsl"
  local saved=$EXE
  EXE=$dir/OrvalisBench.exe
  WINEDEBUG=-all,+debugstr,trace+msgbox start_program
  EXE=$saved
  fatal_error_checks
  local result=$?
  rm -rf "$dir"
  return $result
}

fatal_error_checks() {
  local s; s=$(find_window "$STARTUP_TITLE" 60) || return 1
  click_at "$s" "${START[@]}"
  local box; box=$(find_window '^Fatal error$' 120) || return 1
  screenshot fatal-error.png
  local m; m=$(xdotool search --name '^Orvalis Benchmark - Zandor$' | head -1)
  if [ -n "$m" ]; then
    xdotool mousemove --window "$m" 100 100 mousemove --window "$m" 200 200 click 1
    xdotool windowsize "$m" 640 360
  fi
  kill -0 "$program_pid" 2>/dev/null || return 1  # still alive, showing its box
  click_at "$box" 5 5
  press Return
  exits_cleanly 30
}

test_missing_shader_file_is_a_fatal_error() {
  fatal_error_with_shader "" || return 1
  grep -q 'orvalis_shaders.hlsl not found next to the executable' "$work/stderr.txt"
}

test_shader_without_renderer_is_a_fatal_error() {
  local broken=/tmp/orvalis-no-render.hlsl
  sed 's/void renderCS(/void renderMain(/' "$RUN_DIR/orvalis_shaders.hlsl" >"$broken"
  fatal_error_with_shader "$broken" || return 1
  grep -q 'Failed to compile renderCS' "$work/stderr.txt" || return 1
  # The compiler's own message went to the debugger output.
  grep 'OutputDebugStringA' "$work/stderr.txt" | grep 'E5005' | grep -q 'renderCS'
}

tests=(test_exit_button test_close_box test_choices_reach_the_configuration test_default_start_opens_the_game
       test_resizing_keeps_rendering test_single_benchmark_runs_to_its_report test_deterministic_benchmark_repeats
       test_missing_shader_file_is_a_fatal_error test_shader_without_renderer_is_a_fatal_error)
[ $# -gt 0 ] && tests=("$@")
for t in "${tests[@]}"; do
  export WINEDEBUG=-all,+debugstr
  check "${t#test_}" "$t"
  kill_program
  [ -n "$work" ] && rm -rf "$work"
  work=
done
echo "windows-program: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
