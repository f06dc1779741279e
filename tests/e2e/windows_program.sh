#!/bin/bash
# End-to-end tests of OrvalisBench.exe under Wine on a virtual screen, driven
# with xdotool. tests/e2e/all.sh runs them in two lanes and then the tests
# that compare what both lanes' deterministic benchmarks left in artifacts/.
#   windows_program.sh [TEST...]
set -u
. "$ORVALIS_REPO/scripts/wine/lib.sh"

# The Exit button and the close box end the program before any configuration.
test_startup_window_ends_the_program() {
  local way s
  for way in exit-button close-box; do
    start_program
    s=$(find_window "$STARTUP_TITLE" 60) || return 1
    if [ $way = exit-button ]; then screenshot startup-window.png; click_at "$s" $EXIT; else close_window "$s" 200 150; fi
    exits_cleanly 30 && ! program_stdout | grep -q Config || fail "$way" || return 1
  done
}

# The choices reach the configuration; then a window manager's drag of the
# frame resizes the window in steps and the program follows every size.
test_choices_reach_the_configuration_and_resizing_follows() {
  start_window_manager || fail "no window manager" || return 1
  start_program
  local m; m=$(choose_and_start "$EXTREME" "$MULTI" "$JUST_PLAY") || return 1
  program_stdout | grep -qx '\[DX12\] Config: 1920x1080, debris=640, vsync=off, mode=play' || return 1
  [ "$(client_size "$m")" = 1920x1080 ] || fail "client size $(client_size "$m")" || return 1
  find_window "$FPS_TITLE" 90 >/dev/null || fail "no frame rate in the title" || return 1
  local size
  for size in "1600 900" "1280 720"; do
    xdotool windowsize "$m" $size
    sleep 0.5
  done
  debug_line_within '^OnResize: Successfully resized to 1280x720' 15 || return 1
  [ "$(client_size "$m")" = 1280x720 ] || fail "client size $(client_size "$m")" || return 1
  wait_until 20 shows_content "$m" main-window-resized.png || fail "the resized window stays black" || return 1
  close_window "$m"
  exits_cleanly 60
}

# Copies the report and the results file beside it from folder $3 (the
# working directory unless given) to artifacts/$1.html and .json; the
# report's title ends with $2.
keep_benchmark_files() {
  local report; report=$(ls "${3:-$work}"/benchmark_*.html 2>/dev/null | head -1)
  [ -n "$report" ] || fail "no report" || return 1
  grep -qF "$2</h1>" "$report" || fail "the report is not titled ...$2" || return 1
  cp "$report" "$ARTIFACTS/$1.html" && cp "${report%.html}.json" "$ARTIFACTS/$1.json" ||
    fail "no results file beside the report"
}

# A deterministic benchmark from the startup window under the validation
# layers: the default configuration, frames in the window (Alt+Enter leaves
# it as it is: no exclusive full screen), the summary box, the report and the
# results file, no validation error.
test_deterministic_benchmark_from_the_startup_window() {
  rm -f "$ARTIFACTS"/deterministic-window.*
  VK_INSTANCE_LAYERS=$VALIDATION start_program
  local m; m=$(choose_and_start "$DETERMINISTIC") || return 1
  program_stdout | grep -qx '\[DX12\] Config: 854x480, debris=80, vsync=off, mode=single' || return 1
  [ "$(client_size "$m")" = 854x480 ] || fail "client size $(client_size "$m")" || return 1
  find_window "$FPS_TITLE" 60 >/dev/null || fail "no frame rate in the title" || return 1
  shows_content "$m" main-window.png || fail "a black window" || return 1
  xdotool mousemove --window "$m" 400 240
  press alt+Return
  frames_go_on "$m" || fail "no frame after Alt+Enter" || return 1
  [ "$(client_size "$m")" = 854x480 ] && no_window '^Fatal error$' || fail "Alt+Enter changed the window" || return 1
  local box; box=$(find_window '^Benchmark Finished$' 400) || fail "no summary box within 400 s" || return 1
  screenshot benchmark-finished.png
  keep_benchmark_files deterministic-window '(Deterministic - Single Run)' || return 1
  debug_lines | grep -q '^Benchmark: All runs complete. Total recorded runs: 1' || return 1
  xdotool mousemove --window "$box" 10 10
  press Return
  window_gone '^Benchmark Finished$' 30 || fail "the summary box stayed" || return 1
  m=$(find_window "$MAIN_TITLE" 10) || fail "no main window after the summary" || return 1
  close_window "$m"
  exits_cleanly 60 && no_validation_errors "$work/stdout.txt" "$work/stderr.txt"
}

# From the command line a deterministic benchmark runs with no box waiting for
# anyone, makes its output folder with every missing level, writes the report
# and the results file there and ends with 0. 854 x 480 does not fit the
# 800 x 600 screen: the run scores the smaller size it rendered and says both.
test_command_line_deterministic_benchmark() {
  rm -f "$ARTIFACTS"/deterministic-command-line.*
  use_screen 800x600
  local out; out=$(mktemp -d /tmp/orvalis-cli.XXXXXX)/new/a/b
  WINEDEBUG=-all,+debugstr,trace+msgbox start_program --benchmark single --deterministic --output "$(windows_path "$out")"
  wait_for_exit 300
  [ "$exit_status" = 0 ] || fail "exit code $exit_status" || return 1
  keep_benchmark_files deterministic-command-line '(Deterministic - Single Run)' "$out" || return 1
  local results=$ARTIFACTS/deterministic-command-line.json rendered note
  grep -q '"formatVersion": 1' "$results" && grep -q '"runs": "single"' "$results" && grep -q '"p99Ms": [0-9]' "$results" ||
    return 1
  local gpu; gpu=$(tr -d '\n ' <"$results" | grep -Eo '"(physicsMs|renderMs)":\{[^}]*}|"busyPercent":[0-9.]+|"limitedBy":"(gpu|cpu-or-presentation)"')
  [ "$(echo "$gpu" | wc -l)" = 4 ] && grep -q '"gpuRenderMs": [0-9]' "$results" && echo "  $(tr '\n' ' ' <<<"$gpu")" ||
    fail "no GPU time per pass in the results: $gpu" || return 1
  rendered=$(tr -d '\n ' <"$results" | sed -n 's/.*"renderedWidth":\([0-9]*\),"renderedHeight":\([0-9]*\),.*/\1x\2/p')
  note="rendered ${rendered/x/ x }; 854 x 480 does not fit this screen"
  echo "  score $(sed -n 's/^ *"meanScore": \([0-9.]*\).*/\1/p' "$results"), $note"
  awk -v r="$rendered" 'BEGIN { split(r, s, "x"); exit !(s[1] > 0 && s[1] < 854 && s[2] > 0 && s[2] <= 480) }' ||
    fail "rendered $rendered on an 800 x 600 screen" || return 1
  grep -q '"width": 854,' "$results" && grep -q "\"renderedSizeNote\": \"$note\"" "$results" || return 1
  grep -q "Run 1: $note</div>" "$ARTIFACTS/deterministic-command-line.html" || fail "the report does not say $note" || return 1
  program_stdout | grep -qx '\[DX12\] Config: 854x480, debris=80, vsync=off, mode=single' || return 1
  debug_lines | grep -q '^Benchmark Finished' && grep -q "Run 1: $note" "$work/stderr.txt" ||
    fail "the summary in the debugger output does not say $note" || return 1
  ! grep -q ':msgbox:' "$work/stderr.txt" || fail "a message box was shown"
}

# The 0.1 s records of a report: "time bricks balls minFps" per line.
report_records() {
  tr -d '\r' <"$1" | sed -n 's/.*{time:\([0-9.]*\),avgFps:[0-9.]*,minFps:\([0-9.]*\),.*,bricks:\([0-9.]*\),balls:\([0-9.]*\),isOutlier.*/\1 \3 \4 \2/p'
}

# The two deterministic runs (from the startup window and from the command
# line, at different frame rates) play the same game: the world at a sampled
# time is the same in both, as long as no frame takes over 1 s. A record's
# bricks and balls are means over its frames, so each record of one run lies
# between the other run's records just before and just after it (where the
# counts change in one direction).
test_deterministic_runs_agree() {
  local a=$ARTIFACTS/deterministic-window.html b=$ARTIFACTS/deterministic-command-line.html
  [ -f "$a" ] && [ -f "$b" ] || fail "run both deterministic benchmark tests first" || return 1
  awk 'function within(v, p, q) { return v >= (p < q ? p : q) - 0.01 && v <= (p > q ? p : q) + 0.01 }
    function slowest(f) { return f > 0 ? 1 / f : 0 }
    FNR == 1 { low = 1e9 } { low = $4 < low ? $4 : low }
    FNR == NR { t[++n] = $1; bricks[n] = $2; balls[n] = $3; lowA = low; next }
    { while (i < n && t[i + 1] < $1) i++
      j = i < n && t[i + 1] == $1 ? i + 2 : i + 1
      if (i == 0 || j > n) next
      checked++; agree += within($2, bricks[i], bricks[j]) && within($3, balls[i], balls[j]) }
    END { printf "  %d of %d records lie between the other run'\''s (%d and %d records, slowest frames %.2f and %.2f s)\n",
            agree, checked, n, FNR, slowest(lowA), slowest(low)
          exit !(checked >= 30 && agree >= 0.95 * checked) }' <(report_records "$a") <(report_records "$b")
}

# --compare of the two deterministic benchmarks' results files: no box, the
# page and the table, exit code 0, no warning (the configurations are the
# same); a missing file ends it with exit code 2.
test_compare_results() {
  local a=$ARTIFACTS/deterministic-command-line.json b=$ARTIFACTS/deterministic-window.json out
  [ -f "$a" ] && [ -f "$b" ] || fail "run both deterministic benchmark tests first" || return 1
  out=$(mktemp -d /tmp/orvalis-compare.XXXXXX)
  WINEDEBUG=-all,+debugstr,trace+msgbox start_program --compare "$(windows_path "$a")" "$(windows_path "$b")" \
    --output "$(windows_path "$out")"
  wait_for_exit 60
  [ "$exit_status" = 0 ] || fail "exit code $exit_status: $(grep -v '^[0-9a-f]*:' "$work/stderr.txt" | head -3)" || return 1
  sed 's/^/  /' "$work/stdout.txt"
  local page; page=$(ls "$out"/comparison_*.html 2>/dev/null | head -1)
  [ -n "$page" ] && cp "$page" "$ARTIFACTS/comparison-page.html" || fail "no comparison page" || return 1
  program_stdout | grep -q '^File  *Score  *Change  *Verdict  *Avg FPS' || fail "no table" || return 1
  program_stdout | grep -q 'deterministic-command-line.json  *[0-9]*  *(baseline)' || return 1
  program_stdout | grep -Eq 'deterministic-window.json  *[0-9]+  *[-+][0-9.]+ %  *(faster|slower|within noise)' || return 1
  program_stdout | grep -q "^Comparison page: .*comparison_.*\.html" || return 1
  ! program_stdout | grep -q '^Warning' || fail "a warning for the same configurations" || return 1
  [ "$(grep -o 'class="verdict [a-z]*">[a-z ]*<' "$page" | wc -l)" = 2 ] || fail "not two verdicts on the page" || return 1
  ! grep -q ':msgbox:' "$work/stderr.txt" || fail "a message box was shown" || return 1
  start_program --compare "$(windows_path "$a")" missing.json
  wait_for_exit 30
  [ "$exit_status" = 2 ] && grep -q 'missing.json: no such file' "$work/stderr.txt"
}

# The ray steps slider: the panel's fourth.
ray_steps() { probe "Mission Control" | grep 'msctls_trackbar32' | sed -n '4s/.* pos=\([-0-9]*\).*/\1/p'; }

# Types $1 into the panel's ray steps field, replacing its text.
type_ray_steps() {
  click_control "Mission Control" 230
  press End shift+Home
  xdotool type --delay 80 "$1"
}

panel_shows() { probe "Mission Control" | grep -q -E "^child: $1"; }

# Mission Control and the main window in free play: placement and focus, a
# ball key, telemetry, a level button, the ray steps field, the launch window
# and its benchmark, "Abort", and the panel's close box.
test_mission_control() {
  start_program
  start_probe
  local m panel steps typed
  m=$(choose_and_start "$RES_720P" "$JUST_PLAY") || return 1
  panel=$(find_window '^Mission Control$' 30) || fail "no panel" || return 1
  probe "Mission Control" | grep -q '^window: 40 40 ' || fail "the panel is not at (40, 40)" || return 1
  [ "$(probe_window_field "Orvalis Benchmark" foreground)" = 1 ] || fail "the main window lost the focus" || return 1
  xdotool mousemove --window "$m" 400 240
  press 1
  debug_line_within '^SpawnBall: ADD mode created 1 ball' 10 || fail "the key 1 spawned no ball" || return 1
  find_window "$FPS_TITLE" 20 >/dev/null || fail "no frame rate in the title" || return 1
  wait_until 2 panel_shows '0 Static .*text=FPS: [0-9]+\.[0-9]' || fail "no frame rate in the panel" || return 1
  wait_until 4 panel_shows '0 Static .*text=GPU: physics [0-9]+\.[0-9]{2} ms, render [0-9]+\.[0-9]{2} ms$' ||
    fail "no GPU time per pass in the panel" || return 1
  ! panel_shows '.*text=FPS: 0.0$' || fail "the frame rate label still reads 0.0" || return 1
  screenshot mission-control.png

  # A level button: the 1000 bricks of "6. SPECTRUM" appear on screen and in the telemetry.
  import -window "$m" "$ARTIFACTS/level-before.png"
  xdotool mousemove --window "$panel" 200 400 click --repeat 8 5  # the wheel, eight notches down
  local at= last  # the button where two probes in a row find it: the panel has scrolled
  wait_until 20 eval 'last=$at; at=$(probe_control "Mission Control" 217); [ "$at" = "$last" ]' &&
    click_control "Mission Control" 217 || fail "no level button" || return 1
  wait_until 4 panel_shows '0 Static .*text=Current Bricks: 1000' || fail "the level did not change" || return 1
  import -window "$m" "$ARTIFACTS/level-after.png"
  local changed; changed=$(compare -metric AE "$ARTIFACTS/level-before.png" "$ARTIFACTS/level-after.png" null: 2>&1 | cut -d' ' -f1)
  [ "${changed%.*}" -gt 10000 ] || fail "the screen did not change ($changed pixels)" || return 1

  # The ray steps field: "nan" and "abc" change nothing (once the field
  # shows them, the program has seen them), "5000" is limited to 1024.
  steps=$(ray_steps)
  for typed in nan abc; do
    type_ray_steps $typed
    wait_until 5 eval 'probe_control "Mission Control" 230 | grep -q "text=$typed\$"' || fail "the field does not show $typed: $(probe_control "Mission Control" 230)" ||
      return 1
    [ "$(ray_steps)" = "$steps" ] || fail "$typed changed the ray steps" || return 1
  done
  type_ray_steps 5000
  wait_until 5 eval '[ "$(ray_steps)" = 1024 ]' || fail "5000 gave $(ray_steps) ray steps" || return 1

  # "Launch Benchmark" opens one launch window, centred on the main window, and disables the panel.
  click_control "Mission Control" 231
  find_window '^Benchmark Configuration$' 20 >/dev/null || fail "no launch window" || return 1
  screenshot launch-window.png
  click_control "Mission Control" 231
  [ "$(probe_window_field "Mission Control" enabled)" = 0 ] || fail "the panel stayed enabled" || return 1
  [ "$(xdotool search --name '^Benchmark Configuration$' | wc -l)" = 1 ] || fail "a second launch window" || return 1
  local mw bw
  mw=$(probe "Orvalis Benchmark" | sed -n 's/^window: \([-0-9]*\) \([-0-9]*\) \([0-9]*\) \([0-9]*\).*/\1 \2 \3 \4/p')
  bw=$(probe "Benchmark Configuration" | sed -n 's/^window: \([-0-9]*\) \([-0-9]*\) \([0-9]*\) \([0-9]*\).*/\1 \2 \3 \4/p')
  awk -v m="$mw" -v b="$bw" 'BEGIN { split(m, a, " "); split(b, c, " ");
    dx = (a[1] + a[3] / 2) - (c[1] + c[3] / 2); dy = (a[2] + a[4] / 2) - (c[2] + c[4] / 2);
    exit !(dx <= 1 && dx >= -1 && dy <= 1 && dy >= -1) }' || fail "not centred: main $mw, launch $bw" || return 1

  # "Start Benchmark": 854 x 480, the panel enabled again, "Abort" in place of "Launch Benchmark".
  click_control "Benchmark Configuration" 1
  window_gone '^Benchmark Configuration$' 10 || fail "the launch window stayed" || return 1
  wait_until 10 eval '[ "$(client_size "$m")" = 854x480 ]' || fail "client size $(client_size "$m")" || return 1
  probe_control "Mission Control" 233 | grep -q 'visible=1' || fail "no Abort button" || return 1
  probe_control "Mission Control" 231 | grep -q 'visible=0' || fail "Launch Benchmark still shown" || return 1
  [ "$(probe_window_field "Mission Control" enabled)" = 1 ] || fail "the panel stayed disabled" || return 1

  # "Abort" in the first recorded run writes the partial run's report.
  debug_line_within '^Benchmark Run 1: Recording started' 30 || fail "the first run did not start" || return 1
  click_control "Mission Control" 233
  wait_until 10 eval 'ls "$work"/benchmark_*.html >/dev/null 2>&1' || fail "no report after Abort" || return 1
  grep -q '(Single Run)</h1>' "$work"/benchmark_*.html || fail "the report is not a single run's" || return 1
  wait_until 5 eval 'probe_control "Mission Control" 231 | grep -q visible=1' || fail "Launch Benchmark not back" || return 1

  # The panel's close box closes the panel only.
  close_window "$panel" 200 30
  window_gone '^Mission Control$' 10 || fail "the panel is still open" || return 1
  frames_go_on "$m" 10 && kill -0 "$program_pid" 2>/dev/null || fail "the program did not go on" || return 1
  close_window "$m"
  exits_cleanly 60
}

# A bad argument ends the program with 2 before any window opens, naming the
# argument. Started with no standard streams at all, as a scheduler or a
# service starts it, neither a bad argument nor --help waits for anyone: no
# box, only the exit code. (Closing the descriptors of `wine` itself is not
# that: Wine then hands the program its own server pipes as standard handles,
# and a write to them stops Wine.)
test_command_line_bad_arguments() {
  start_program --benchmark single --debris 81
  wait_for_exit 30
  [ "$exit_status" = 2 ] || fail "exit code $exit_status" || return 1
  grep -q '"--debris 81": the debris count is one of 0, 80, 160, 320, 640' "$work/stderr.txt" || return 1
  local case result
  for case in "--bad 2" "--help 0"; do
    result=$(wine "$RUN_DIR/OrvalisWindowProbe.exe" --start-without-streams 20 "$(windows_path "$EXE")" \
      ${case% *} 2>/dev/null | tr -d '\r')
    [ "$result" = "exit: ${case#* }" ] || fail "${case% *} with no standard streams: $result" || return 1
  done
}

# An output folder that cannot take the files ends the program with 4 before
# the benchmark starts, naming the folder; nothing is left there.
test_command_line_read_only_output() {
  local source; source=$(mktemp -d /tmp/orvalis-ro-source.XXXXXX)
  local target=/tmp/orvalis-ro-$lane
  mkdir -p "$target"
  mountpoint -q "$target" || mount --bind "$source" "$target" || return 1
  mount -o remount,bind,ro "$target" || { umount "$target"; return 1; }
  start_program --benchmark single --output "$(windows_path "$target")"
  wait_for_exit 20
  local left; left=$(ls -A "$source")
  umount "$target"
  rm -rf "$source"
  [ "$exit_status" = 4 ] || fail "exit code $exit_status" || return 1
  [ -z "$left" ] || fail "files left: $left" || return 1
  grep -qF "the folder \"$(windows_path "$target")\" cannot be written" "$work/stderr.txt" || fail "$(cat "$work/stderr.txt")"
}

# Without its shader file the program shows the "Fatal error" box naming the
# file after Start. Messages that reach the main window meanwhile find no
# App; Return dismisses the box and the program ends with exit code 0.
test_missing_shader_is_a_fatal_error() {
  work=$(mktemp -d /tmp/orvalis-e2e.XXXXXX)
  cp "$RUN_DIR/OrvalisBench.exe" "$RUN_DIR/d3dcompiler_47.dll" "$work/"
  EXE=$work/OrvalisBench.exe WINEDEBUG=-all,+debugstr,trace+msgbox start_program
  local s; s=$(find_window "$STARTUP_TITLE" 60) || return 1
  click_at "$s" $START
  local box; box=$(find_window '^Fatal error$' 120) || return 1
  screenshot fatal-error.png
  local m; m=$(xdotool search --name '^Orvalis Benchmark - Zandor$' | head -1)
  if [ -n "$m" ]; then
    xdotool mousemove --window "$m" 100 100 mousemove --window "$m" 200 200 click 1
    xdotool windowsize "$m" 640 360
  fi
  kill -0 "$program_pid" 2>/dev/null || fail "the program ended before its box was closed" || return 1
  click_at "$box" 5 5
  press Return
  exits_cleanly 30 || return 1
  grep -q 'orvalis_shaders.hlsl not found next to the executable' "$work/stderr.txt"
}

[ $# -gt 0 ] || set -- test_startup_window_ends_the_program test_choices_reach_the_configuration_and_resizing_follows \
  test_deterministic_benchmark_from_the_startup_window test_command_line_deterministic_benchmark \
  test_deterministic_runs_agree test_compare_results test_mission_control test_command_line_bad_arguments \
  test_command_line_read_only_output test_missing_shader_is_a_fatal_error
start_lane || exit 1
mkdir -p "$ARTIFACTS"
run_tests windows-program "$@"
