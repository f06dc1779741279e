#!/bin/bash
# End-to-end tests of OrvalisBench.exe under Wine on a virtual screen, driven
# with xdotool. Run inside the Wine environment by scripts/test-windows.sh.
# Startup-window coordinates are those of its layout at 96 dots per inch.
set -u
. "$ORVALIS_REPO/scripts/wine/lib.sh"

START=(85 408)
RES_720P=(35 72)
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
  click_start "$s" "${START[@]}" || return 1
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
  click_start "$s" "${START[@]}" || return 1
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
    click_start "$s" "${START[@]}" || ok=0
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
  local s; s=$(find_window "$STARTUP_TITLE" 60) || fail "no startup window within 60 s" || return 1
  if [ "${1:-}" = deterministic ]; then click_at "$s" "${DETERMINISTIC[@]}"; fi
  click_start "$s" "${START[@]}" || return 1
  find_window "$MAIN_TITLE" 60 >/dev/null || fail "no main window within 60 s of Start" || return 1
  local box; box=$(find_window '^Benchmark Finished$' 400) || fail "no summary box within 400 s" || return 1
  screenshot benchmark-finished.png
  ls "$work"/benchmark_*.html >/dev/null 2>&1 || fail "no report written" || return 1
  xdotool mousemove --window "$box" 10 10
  press Return
  window_gone '^Benchmark Finished$' 30 || fail "the summary box stayed" || return 1
  local m; m=$(find_window "$MAIN_TITLE" 10) || fail "no main window after the summary" || return 1
  xdotool mousemove --window "$m" 300 300
  close_focused_window
  exits_cleanly 60 || return 1
  local found; found=$(validation_errors "$work/stdout.txt" "$work/stderr.txt")
  [ -z "$found" ] || { echo "  validation errors:"; echo "$found" | head -20 | sed 's/^/    /'; return 1; }
}

test_single_benchmark_runs_to_its_report() {
  rm -f "$ARTIFACTS/single-benchmark-results.json"
  run_benchmark_to_summary || return 1
  local report; report=$(ls "$work"/benchmark_*.html | head -1)
  grep -q '(Single Run)</h1>' "$report" || return 1
  cp "$report" "$ARTIFACTS/single-benchmark-report.html"
  # Kept for test_compare_results.
  cp "${report%.html}.json" "$ARTIFACTS/single-benchmark-results.json" || fail "no results file beside the report" || return 1
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

# Fails a test with a message.
fail() {
  echo "  $*"
  return 1
}

# The text of a panel control with id $1 (the $2-th of that id).
panel_text() {
  probe_control "Mission Control" "$1" "${2:-1}" | sed -n 's/.* text=//p'
}

# The ray steps slider: the fourth slider of the panel.
ray_steps_slider() {
  probe "Mission Control" | grep 'msctls_trackbar32' | sed -n '4s/.* pos=\([-0-9]*\).*/\1/p'
}

# Types into the panel's ray steps field, replacing its text.
type_ray_steps() {
  click_control "Mission Control" 230
  press End shift+Home
  xdotool type --delay 80 "$1"
  sleep 0.5
}

# Waits up to $2 seconds for a panel label (id 0) whose text matches $1.
panel_label_within() {
  local i
  for i in $(seq 1 $(($2 * 5))); do
    probe "Mission Control" | grep -q -E "^child: 0 Static .*text=$1" && return 0
    sleep 0.2
  done
  return 1
}

# Mission Control: placement and focus, telemetry, a level button, the ray
# steps field, the launch window and its benchmark, "Abort", and the close box.
test_mission_control() {
  start_program
  local s m box
  s=$(find_window "$STARTUP_TITLE" 60) || return 1
  click_at "$s" "${RES_720P[@]}"
  click_at "$s" "${JUST_PLAY[@]}"
  click_start "$s" "${START[@]}" || return 1
  m=$(find_window "$MAIN_TITLE" 60) || return 1
  panel=$(find_window '^Mission Control$' 30) || fail "no panel" || return 1
  probe "Mission Control" | grep -q '^window: 40 40 ' || fail "the panel is not at (40, 40)" || return 1
  [ "$(probe_window_field "Orvalis Benchmark" foreground)" = 1 ] || fail "the main window lost the focus" || return 1
  find_window '^Orvalis Benchmark DX12 - Zandor \| FPS: [0-9]+' 10 >/dev/null || return 1
  panel_label_within 'FPS: [0-9]+\.[0-9]' 2 || fail "no frame rate in the panel" || return 1
  panel_label_within 'GPU: physics [0-9]+\.[0-9]{2} ms, render [0-9]+\.[0-9]{2} ms$' 4 || fail "no GPU time per pass in the panel" || return 1
  probe "Mission Control" | grep -q 'text=FPS: 0.0$' && fail "the frame rate label still reads 0.0" && return 1
  screenshot mission-control.png

  # A level button: the 1000 bricks of "6. SPECTRUM" appear on screen and in the telemetry.
  eval "$(xdotool getwindowgeometry --shell "$m")"
  screenshot level-before.png
  xdotool mousemove --window "$panel" 200 400 click --repeat 8 5  # the wheel, eight notches down
  sleep 0.5
  click_control "Mission Control" 217 || return 1
  panel_label_within 'Current Bricks: 1000' 4 || fail "the level did not change" || return 1
  screenshot level-after.png
  local changed; changed=$(compare -metric AE -crop "1280x720+$X+$Y" "$ARTIFACTS/level-before.png" \
    "$ARTIFACTS/level-after.png" null: 2>&1 | cut -d' ' -f1)
  [ "${changed%.*}" -gt 10000 ] || fail "the screen did not change ($changed pixels)" || return 1

  # The ray steps field: "nan" and "abc" change nothing, "5000" is limited to 1024.
  local steps; steps=$(ray_steps_slider)
  type_ray_steps nan
  [ "$(ray_steps_slider)" = "$steps" ] || fail "nan changed the ray steps" || return 1
  type_ray_steps abc
  [ "$(ray_steps_slider)" = "$steps" ] || fail "abc changed the ray steps" || return 1
  type_ray_steps 5000
  [ "$(ray_steps_slider)" = 1024 ] || fail "5000 gave $(ray_steps_slider) ray steps" || return 1
  kill -0 "$program_pid" 2>/dev/null || return 1

  # "Launch Benchmark" opens one launch window, centred on the main window.
  click_control "Mission Control" 231
  box=$(find_window '^Benchmark Configuration$' 20) || fail "no launch window" || return 1
  screenshot launch-window.png
  click_control "Mission Control" 231  # the panel is disabled while the launch window is open
  sleep 1
  [ "$(xdotool search --name '^Benchmark Configuration$' | wc -l)" = 1 ] || fail "a second launch window" || return 1
  [ "$(probe_window_field "Mission Control" enabled)" = 0 ] || fail "the panel stayed enabled" || return 1
  local mw bw
  mw=$(probe "Orvalis Benchmark" | sed -n 's/^window: \([-0-9]*\) \([-0-9]*\) \([0-9]*\) \([0-9]*\).*/\1 \2 \3 \4/p')
  bw=$(probe "Benchmark Configuration" | sed -n 's/^window: \([-0-9]*\) \([-0-9]*\) \([0-9]*\) \([0-9]*\).*/\1 \2 \3 \4/p')
  awk -v m="$mw" -v b="$bw" 'BEGIN { split(m, a, " "); split(b, c, " ");
    dx = (a[1] + a[3] / 2) - (c[1] + c[3] / 2); dy = (a[2] + a[4] / 2) - (c[2] + c[4] / 2);
    exit !(dx <= 1 && dx >= -1 && dy <= 1 && dy >= -1) }' || fail "not centred: main $mw, launch $bw" || return 1

  # "Start Benchmark": 854 x 480 and "Abort" instead of "Launch Benchmark".
  click_control "Benchmark Configuration" 1
  window_gone '^Benchmark Configuration$' 10 || return 1
  sleep 2
  [ "$(client_size "$m")" = 854x480 ] || fail "client size $(client_size "$m")" || return 1
  probe_control "Mission Control" 233 | grep -q 'visible=1' || fail "no Abort button" || return 1
  probe_control "Mission Control" 231 | grep -q 'visible=0' || fail "Launch Benchmark still shown" || return 1
  [ "$(probe_window_field "Mission Control" enabled)" = 1 ] || fail "the panel stayed disabled" || return 1

  # "Abort" in the first recorded run writes the partial run's report.
  sleep 8
  click_control "Mission Control" 233
  local i
  for i in $(seq 1 50); do
    ls "$work"/benchmark_*.html >/dev/null 2>&1 && break
    sleep 0.2
  done
  ls "$work"/benchmark_*.html >/dev/null 2>&1 || fail "no report after Abort" || return 1
  grep -q '(Single Run)</h1>' "$work"/benchmark_*.html || return 1
  probe_control "Mission Control" 231 | grep -q 'visible=1' || fail "Launch Benchmark not back" || return 1

  # The panel's close box closes the panel only.
  xdotool mousemove --window "$panel" 200 30 click 1
  close_focused_window
  window_gone '^Mission Control$' 10 || fail "the panel is still open" || return 1
  sleep 2
  kill -0 "$program_pid" 2>/dev/null || fail "the program ended" || return 1
  find_window "$MAIN_TITLE" 5 >/dev/null || return 1
  xdotool mousemove --window "$m" 300 300 click 1
  close_focused_window
  exits_cleanly 60
}

# Starts the program with arguments in a fresh working directory.
start_program_with() {
  work=$(mktemp -d /tmp/orvalis-e2e.XXXXXX)
  (cd "$work" && exec wine "$EXE" "$@" >"$work/stdout.txt" 2>"$work/stderr.txt") &
  program_pid=$!
}

# Waits up to $1 seconds for the program to end; its exit code is then in
# $exit_status ("timeout" when it did not end).
wait_for_exit() {
  local i
  for i in $(seq 1 $(($1 * 5))); do
    kill -0 "$program_pid" 2>/dev/null || break
    sleep 0.2
  done
  if kill -0 "$program_pid" 2>/dev/null; then
    exit_status=timeout
    return
  fi
  exit_status=0
  wait "$program_pid" || exit_status=$?
  program_pid=
}

# A Windows path for a Unix one (Wine's Z: drive).
windows_path() {
  echo "Z:${1//\//\\}"
}

# From the command line a benchmark runs with no window waiting for anyone and
# ends the program with code 0, its report and results file in the output
# folder (made with every missing level). 4K does not fit the 2560 x 1440
# screen: the run scores the smaller size it rendered and says both.
test_command_line_benchmark() {
  local out=/tmp/orvalis-cli-output/new/a/b
  rm -rf /tmp/orvalis-cli-output
  rm -f "$ARTIFACTS/command-line-results.json"
  WINEDEBUG=-all,+debugstr,trace+msgbox start_program_with --benchmark single --resolution 3840x2160 --debris 80 \
    --output "$(windows_path "$out")"
  wait_for_exit 300
  [ "$exit_status" = 0 ] || fail "exit code $exit_status" || return 1
  local report results
  report=$(ls "$out"/benchmark_*.html 2>/dev/null | head -1)
  results=$(ls "$out"/benchmark_*.json 2>/dev/null | head -1)
  [ -n "$report" ] && [ -n "$results" ] || fail "missing files: $(ls "$out")" || return 1
  [ "${report%.html}" = "${results%.json}" ] || return 1
  grep -q '"formatVersion": 1' "$results" && grep -q '"runs": "single"' "$results" || return 1
  local gpu; gpu=$(tr -d '\n ' <"$results" | grep -Eo '"(physicsMs|renderMs)":\{[^}]*}|"busyPercent":[0-9.]+|"limitedBy":"(gpu|cpu-or-presentation)"')
  [ "$(echo "$gpu" | wc -l)" = 4 ] && grep -q '"gpuRenderMs": [0-9]' "$results" && echo "  $(tr '\n' ' ' <<<"$gpu")" ||
    fail "no GPU time per pass in the results: $gpu" || return 1
  grep -q '"p99Ms": [0-9]' "$results" || return 1
  local rendered note
  rendered=$(tr -d '\n ' <"$results" | sed -n 's/.*"renderedWidth":\([0-9]*\),"renderedHeight":\([0-9]*\),.*/\1x\2/p')
  note="rendered ${rendered/x/ x }; 3840 x 2160 does not fit this screen"
  echo "  $(basename "$results"): score $(sed -n 's/^ *"meanScore": \([0-9.]*\).*/\1/p' "$results"), $note"
  cp "$results" "$ARTIFACTS/command-line-results.json"
  awk -v r="$rendered" 'BEGIN { split(r, s, "x"); exit !(s[1] > 0 && s[1] <= 2600 && s[2] > 0 && s[2] <= 1440) }' ||
    fail "rendered $rendered on a 2560 x 1440 screen" || return 1
  grep -q '"width": 3840,' "$results" && grep -q "\"renderedSizeNote\": \"$note\"" "$results" || return 1
  grep -q "Run 1: $note</div>" "$report" || fail "the report does not say $note" || return 1
  program_stdout | grep -qx '\[DX12\] Config: 3840x2160, debris=80, vsync=off, mode=single' || return 1
  debug_lines | grep -q '^Benchmark Finished' || fail "no summary in the debugger output" || return 1
  grep -q "Run 1: $note" "$work/stderr.txt" || fail "the summary does not say $note" || return 1
  ! grep -q ':msgbox:' "$work/stderr.txt" || fail "a message box was shown" || return 1
  [ -z "$(xdotool search --name '^(Orvalis Benchmark|Mission Control)' 2>/dev/null)" ] || fail "a window is left" || return 1
}

# --compare of the results files the two benchmarks above left (from the
# command line and from the startup window): no window, the page and the table,
# exit code 0; fewer than two files or a missing one end with exit code 2.
test_compare_results() {
  local a=$ARTIFACTS/command-line-results.json b=$ARTIFACTS/single-benchmark-results.json out=/tmp/orvalis-compare
  [ -f "$a" ] && [ -f "$b" ] ||
    fail "run test_command_line_benchmark and test_single_benchmark_runs_to_its_report first" || return 1
  rm -rf "$out"
  WINEDEBUG=-all,+debugstr,trace+msgbox start_program_with --compare "$(windows_path "$a")" "$(windows_path "$b")" \
    --output "$(windows_path "$out")"
  wait_for_exit 60
  [ "$exit_status" = 0 ] || fail "exit code $exit_status: $(cat "$work/stderr.txt" | grep -v '^[0-9a-f]*:' | head -3)" || return 1
  local page; page=$(ls "$out"/comparison_*.html 2>/dev/null | head -1)
  [ -n "$page" ] || fail "no comparison page" || return 1
  sed 's/^/  /' "$work/stdout.txt"
  grep -q '^File  *Score  *Change  *Verdict  *Avg FPS' "$work/stdout.txt" || fail "no table" || return 1
  grep -q 'command-line-results.json  *[0-9]*  *(baseline)' "$work/stdout.txt" || return 1
  grep -Eq 'single-benchmark-results.json  *[0-9]+  *[-+][0-9.]+ %  *(faster|slower|within noise)' "$work/stdout.txt" || return 1
  grep -q "Comparison page: .*comparison_.*\.html" "$work/stdout.txt" || return 1
  grep -qx 'Warning: the configurations differ: resolution\.' "$work/stdout.txt" ||
    fail "the two resolutions are not named as the one difference" || return 1
  [ "$(grep -o 'class="verdict [a-z]*">[a-z ]*<' "$page" | wc -l)" = 2 ] || fail "not two verdicts on the page" || return 1
  cp "$page" "$ARTIFACTS/comparison-page.html"
  ! grep -q ':msgbox:' "$work/stderr.txt" || fail "a message box was shown" || return 1
  [ -z "$(xdotool search --name '^(Orvalis Benchmark|Mission Control)' 2>/dev/null)" ] || fail "a window opened" || return 1

  start_program_with --compare "$(windows_path "$a")"
  wait_for_exit 30
  [ "$exit_status" = 2 ] && grep -q 'needs at least two results files to compare (got 1)' "$work/stderr.txt" || return 1
  start_program_with --compare "$(windows_path "$a")" missing.json
  wait_for_exit 30
  [ "$exit_status" = 2 ] && grep -q 'missing.json: no such file' "$work/stderr.txt"
}

# A bad argument ends the program before any window opens, naming the argument.
# Started with no standard streams at all, as a scheduler or a service starts
# it, neither a bad argument nor --help waits for anyone: no box, only the exit
# code. (Closing the descriptors of `wine` itself is not that: Wine then hands
# the program its own server pipes as standard handles, and a write to them
# stops Wine.)
test_command_line_bad_argument() {
  start_program_with --benchmark single --debris 81
  wait_for_exit 30
  [ "$exit_status" = 2 ] || fail "exit code $exit_status" || return 1
  grep -q '"--debris 81": the debris count is one of 0, 80, 160, 320, 640' "$work/stderr.txt" || return 1
  [ -z "$(xdotool search --name '^Orvalis Benchmark' 2>/dev/null)" ] || return 1
  start_program_with --frobnicate
  wait_for_exit 30
  [ "$exit_status" = 2 ] && grep -q 'unknown option "--frobnicate"' "$work/stderr.txt" || return 1
  local arguments result
  for arguments in "--bad 2" "--help 0"; do
    result=$(wine "$RUN_DIR/OrvalisWindowProbe.exe" --start-without-streams 20 "$(windows_path "$EXE")" \
      ${arguments% *} 2>/dev/null | tr -d '\r')
    [ "$result" = "exit: ${arguments#* }" ] || fail "${arguments% *} with no standard streams: $result" || return 1
  done
}

# An output folder that cannot take the files ends the program before the
# benchmark starts, naming the folder; nothing is left there.
test_command_line_read_only_output() {
  local source=/tmp/orvalis-ro-source target=/tmp/orvalis-ro
  mkdir -p "$source" "$target"
  rm -f "$source"/*
  mountpoint -q "$target" || mount --bind "$source" "$target" || return 1
  mount -o remount,bind,ro "$target" || { umount "$target"; return 1; }
  start_program_with --benchmark single --output "$(windows_path "$target")"
  wait_for_exit 20
  local left; left=$(ls -A "$source")
  umount "$target"
  [ "$exit_status" = 4 ] || fail "exit code $exit_status" || return 1
  [ -z "$left" ] || fail "files left: $left" || return 1
  grep -q 'the folder "Z:\\tmp\\orvalis-ro" cannot be written' "$work/stderr.txt" || fail "$(cat "$work/stderr.txt")"
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
  click_start "$s" "${START[@]}" || return 1
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
       test_mission_control test_command_line_benchmark test_compare_results test_command_line_bad_argument
       test_command_line_read_only_output test_missing_shader_file_is_a_fatal_error test_shader_without_renderer_is_a_fatal_error)
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
