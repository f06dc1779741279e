#!/bin/bash
# End-to-end tests of OrvalisBench.exe under Wine on a virtual screen, driven with xdotool (all.sh runs them in lanes).
#   windows_program.sh [TEST...]
set -u
. "$ORVALIS_REPO/scripts/wine/lib.sh"

# True when window $1's client area is $2, else says what it is.
sized() {
  local size; size=$(client_size "$1")
  [ "$size" = "$2" ] || fail "client size $size, not $2"
}

# Esc (as the Exit button does) and the close box end the program before any configuration.
test_startup_window_ends_the_program() {
  local way s
  for way in escape close-box; do
    start_program
    s=$(find_window "$STARTUP_TITLE" 60) || return 1
    if [ $way = escape ]; then screenshot startup-window.png; press Escape; else close_window "$s" 200 150; fi
    exits_cleanly 30 && ! program_stdout | grep -q Config || fail "$way" || return 1
  done
}

# The choices reach the configuration; a window manager's drag resizes in steps and the program follows.
test_choices_reach_the_configuration_and_resizing_follows() {
  start_window_manager || fail "no window manager" || return 1
  start_program
  local m; m=$(choose_and_start "$EXTREME" "$MULTI" "$JUST_PLAY") || return 1
  program_stdout | grep -qx '\[DX12\] Config: 1920x1080, debris=640, vsync=off, mode=play' || return 1
  sized "$m" 1920x1080 && find_window "$FPS_TITLE" 90 >/dev/null || fail "no frame rate in the title" || return 1
  xdotool windowsize "$m" 1600 900 sleep 0.5 windowsize "$m" 1280 720
  debug_line_within '^OnResize: Successfully resized to 1280x720' 15 && sized "$m" 1280x720 || return 1
  wait_until 20 shows_content "$m" main-window-resized.png || fail "the resized window stays black" || return 1
  close_window "$m"
  exits_cleanly 60
}

# Page $1 carries the chart libraries whole (each file's longest line) and loads no script from elsewhere.
carries_chart_libraries() {
  local library
  for library in "$ORVALIS_REPO"/third_party/*/*.min.js; do
    grep -qF -f <(awk 'length > length(code) { code = $0 } END { print code }' "$library") "$1" ||
      fail "$1 does not carry $library" || return 1
  done
  ! grep -qi '<script src=' "$1" || fail "$1 loads a script"
}

# Copies folder $3's (default: the working one's) report and results to artifacts/$1.*; the title ends with $2.
keep_benchmark_files() {
  local report; report=$(ls "${3:-$work}"/benchmark_*.html 2>/dev/null | head -1)
  grep -qF "$2</h1>" "$report" 2>/dev/null || fail "no report titled ...$2" || return 1
  carries_chart_libraries "$report" || return 1
  cp "$report" "$ARTIFACTS/$1.html" && cp "${report%.html}.json" "$ARTIFACTS/$1.json" ||
    fail "no results file beside the report"
}

# A deterministic benchmark from the startup window under the validation layers: Alt+Enter, the box, the files.
test_deterministic_benchmark_from_the_startup_window() {
  rm -f "$ARTIFACTS"/deterministic-window.*
  VK_INSTANCE_LAYERS=$VALIDATION start_program
  local m; m=$(choose_and_start "$DETERMINISTIC") || return 1
  program_stdout | grep -qx '\[DX12\] Config: 854x480, debris=80, vsync=off, mode=single' || return 1
  sized "$m" 854x480 && find_window "$FPS_TITLE" 60 >/dev/null || fail "no frame rate in the title" || return 1
  shows_content "$m" main-window.png || fail "a black window" || return 1
  xdotool mousemove --window "$m" 400 240 key --clearmodifiers alt+Return
  frames_go_on "$m" || fail "no frame after Alt+Enter" || return 1
  sized "$m" 854x480 && no_window '^Fatal error$' || fail "Alt+Enter changed the window" || return 1
  local box; box=$(find_window '^Benchmark Finished$' 400) || fail "no summary box within 400 s" || return 1
  screenshot benchmark-finished.png
  keep_benchmark_files deterministic-window '(Deterministic - Single Run)' || return 1
  grep -q '"adapterChoice": "default"' "$ARTIFACTS/deterministic-window.json" || fail "not the default adapter" || return 1
  # While the box is open the panel takes no click; after it, every control works again.
  start_probe
  [ "$(probe_field "Mission Control" window: enabled)" = 0 ] || fail "the panel works under the summary box" || return 1
  xdotool mousemove --window "$box" 10 10 key Return
  window_gone '^Benchmark Finished$' 30 || fail "the summary box stayed" || return 1
  wait_until 10 eval 'probe "Mission Control" | panel_enabled 1 1' || fail "the panel is not enabled after the benchmark" || return 1
  m=$(find_window "$MAIN_TITLE" 10) || fail "no main window after the summary" || return 1
  close_window "$m"
  exits_cleanly 60 && no_validation_errors "$work/stdout.txt" "$work/stderr.txt"
}

# A command-line deterministic run on 800 x 600: no box, a new output folder, the files and frame log, printed lines, 0.
test_command_line_deterministic_benchmark() {
  rm -f "$ARTIFACTS"/deterministic-command-line*
  use_screen 800x600
  local out; out=$(mktemp -d /tmp/orvalis-cli.XXXXXX)/new/a/b
  WINEDEBUG=-all,+debugstr,trace+msgbox start_program --benchmark single --deterministic --adapter 0 --frame-log \
    --output "$(windows_path "$out")"
  wait_for_exit 300
  [ "$exit_status" = 0 ] || fail "exit code $exit_status" || return 1
  keep_benchmark_files deterministic-command-line '(Deterministic - Single Run)' "$out" || return 1
  local want
  for want in '"renderedSizeNote": "rendered [0-9]+ x [0-9]+; 854 x 480 does not fit this screen"' '"physicsMs": \{' \
      '"renderMs": \{' '"busyPercent": [0-9]' '"limitedBy": "(gpu|cpu-or-presentation)"' '"gpuRenderMs": [0-9]' \
      '"machineName": "[^"]' '"adapterIndex": 0,' '"adapterChoice": "asked"' '"peakUsageBytes": [1-9]' '"budgetBytes": [1-9]'; do
    grep -Eq "$want" "$ARTIFACTS/deterministic-command-line.json" || fail "the results have no $want" || return 1
  done
  grep -q ' | Adapter: NVIDIA GeForce GTX 470 (asked for with --adapter 0)</div>' "$ARTIFACTS/deterministic-command-line.html" ||
    fail "the report does not name the adapter" || return 1
  local name; name=$(windows_path "$out")\\$(basename "$(ls "$out"/benchmark_*.html)" .html)
  program_stdout | grep -Eqx 'score: [0-9]+' && program_stdout | grep -Eqx 'note: run 1 rendered [0-9]+ x [0-9]+; 854 x 480 does not fit this screen' &&
    [ "$(program_stdout | grep -cxF -e "report: $name.html" -e "results: $name.json")" = 2 ] || fail "printed: $(program_stdout | tr '\n' '|')" || return 1
  local log=$ARTIFACTS/deterministic-command-line_frames.csv frames
  cp "$out"/benchmark_*_frames.csv "$log" || fail "no frame log" || return 1
  [ "$(head -1 "$log")" = $'Application,ProcessID,Runtime,SyncInterval,PresentFlags,AllowsTearing,TimeInSeconds,MsBetweenPresents,MsInPresentAPI,Run,GpuPhysicsMs,GpuRenderMs,Debris,Balls,Bricks,IsOutlierRecord\r' ] ||
    fail "the frame log's header is $(head -1 "$log")" || return 1
  frames=$(grep -o '"totalFrames": [0-9]*' "$ARTIFACTS/deterministic-command-line.json" | cut -d' ' -f2)
  local named='^"frameLog":\{"file":"benchmark_[0-9_-]+_frames.csv","frames":'$frames',"framesNotKept":0$'
  [[ $(grep -A3 '"frameLog": {' "$ARTIFACTS/deterministic-command-line.json" | tr -d ' \n') =~ $named ]] &&
    awk -F, -v frames="$frames" 'NR > 1 && $1 == "OrvalisBench.exe" && $3 == "DXGI" && $9 != "" && $10 == 1 { n++ }
      END { exit !(n == frames && NR - 1 == frames) }' "$log" || fail "$frames frames, but not as many lines with their Present call" || return 1
  debug_lines | grep -q '^Benchmark Finished' && ! grep -q ':msgbox:' "$work/stderr.txt" || fail "the summary was a box"
}

# A command-line stress test of three 2 s loops: the verdict line (pass or fail: lavapipe's), chart, stress block, exit 0.
test_command_line_stress_test() {
  local out; out=$(mktemp -d /tmp/orvalis-stress.XXXXXX)
  ORVALIS_TEST_LOOP_SECONDS=2 start_program --stress 3 --debris 0 --output "$(windows_path "$out")"
  wait_for_exit 180
  [ "$exit_status" = 0 ] || fail "exit code $exit_status" || return 1
  program_stdout | grep -qx '\[DX12\] Config: 854x480, debris=0, vsync=off, mode=stress, loops=3' || fail "no stress configuration" || return 1
  program_stdout | grep -Eqx 'stress: (pass|fail), stability [0-9]+\.[0-9] % \(97 % needed\), trend [-+][0-9]+\.[0-9] % from the first loop to the last, 3 of 3 loops of 2 s \(shortened for tests by ORVALIS_TEST_LOOP_SECONDS\)' ||
    fail "no verdict line: $(program_stdout)" || return 1
  keep_benchmark_files stress-command-line '(Deterministic Stress Test - 3 Loops)' "$out" || return 1
  grep -q '<canvas id="stressChart">' "$ARTIFACTS/stress-command-line.html" || fail "the report has no stress chart" || return 1
  local want results=$ARTIFACTS/stress-command-line.json
  for want in '"runs": "stress"' '"loopsAsked": 3,' '"loopSeconds": 2,' '"shortenedForTests": true,' '"loopsComplete": 3,' \
      '"stabilityPercent": [0-9]' '"verdict": "(pass|fail)"'; do
    grep -Eq "$want" "$results" || fail "the results have no $want" || return 1
  done
  # One run per loop, and each loop in the block: all of them whole.
  [ "$(grep -c '"measuredSeconds": ' "$results")/$(grep -c '"complete": true' "$results")" = 3/7 ] &&
    ! grep -q '"complete": false' "$results" || fail "not three whole loops"
}

# The 0.1 s records of a report: "time bricks balls" per line.
report_records() {
  tr -d '\r' <"$1" | sed -n 's/.*{time:\([0-9.]*\),.*,bricks:\([0-9.]*\),balls:\([0-9.]*\),isOutlier.*/\1 \2 \3/p'
}

# Both deterministic runs play one game: each record's bricks and balls lie between the other run's neighbouring records.
test_deterministic_runs_agree() {
  awk 'function within(v, p, q) { return v >= (p < q ? p : q) - 0.01 && v <= (p > q ? p : q) + 0.01 }
    FNR == NR { t[++n] = $1; bricks[n] = $2; balls[n] = $3; next }
    { while (i < n && t[i + 1] < $1) i++
      j = i < n && t[i + 1] == $1 ? i + 2 : i + 1
      if (i > 0 && j <= n) { checked++; agree += within($2, bricks[i], bricks[j]) && within($3, balls[i], balls[j]) } }
    END { printf "  %d of %d records lie between the other run'\''s (%d and %d records)\n", agree, checked, n, FNR
          exit !(checked >= 30 && agree >= 0.95 * checked) }' \
    <(report_records "$ARTIFACTS/deterministic-window.html") <(report_records "$ARTIFACTS/deterministic-command-line.html")
}

# --compare of the two deterministic results: no box, the page, the verdicts, one warning (size); a missing file: 2.
test_compare_results() {
  local a=$ARTIFACTS/deterministic-command-line.json b=$ARTIFACTS/deterministic-window.json
  local out; out=$(mktemp -d /tmp/orvalis-compare.XXXXXX)
  WINEDEBUG=-all,+debugstr,trace+msgbox start_program --compare "$(windows_path "$a")" "$(windows_path "$b")" \
    --output "$(windows_path "$out")"
  wait_for_exit 60
  [ "$exit_status" = 0 ] || fail "exit code $exit_status: $(grep -v '^[0-9a-f]*:' "$work/stderr.txt" | head -3)" || return 1
  sed 's/^/  /' "$work/stdout.txt"
  cp "$out"/comparison_*.html "$ARTIFACTS/comparison-page.html" || fail "no comparison page" || return 1
  carries_chart_libraries "$ARTIFACTS/comparison-page.html" || return 1
  program_stdout | grep -Eq 'deterministic-window.json  +[0-9]+  +[-+][0-9.]+ %  +too few runs  +[0-9.]+  +[-+][0-9.]+ %  +(faster|slower|within noise)' &&
    [ "$(program_stdout | grep '^Warning')" = "Warning: The configurations differ: rendered size. The files did not measure the same work, so their differences are not the hardware's alone." ] &&
    ! grep -q ':msgbox:' "$work/stderr.txt" || fail "another warning, a box or no verdict" || return 1
  start_program --compare "$(windows_path "$a")" missing.json
  wait_for_exit 30
  [ "$exit_status" = 2 ] && grep -q 'missing.json: no such file' "$work/stderr.txt"
}

# The ray steps slider: the panel's fourth.
ray_steps() { probe_field "Mission Control" "child: 0 msctls_trackbar32" pos 4; }

# True when one of the panel's labels reads what $1 matches.
panel_shows() { probe "Mission Control#0" | grep -qE "^child: 0 Static .* text=$1"; }

# True when the panel's window is enabled as $1 says, "Abort" enabled, and every control that changes the work as $2.
panel_enabled() {
  awk -v window="$1" -v work="$2" '/^window:/ { want = window } /^child: 233 / { want = 1 }
    /^child: (2[0-2][0-9]|230) |^child: 0 msctls_trackbar32/ { want = work; n++ }
    want != "" && $0 !~ " enabled=" want " " { print "  " $0; bad = 1 } { want = "" } END { exit bad || n != 29 }' >&2
}

# The startup window's adapter; Mission Control and the main window, the launch window, a locked benchmark, Abort.
test_mission_control() {
  rm -f "$ARTIFACTS/aborted-from-panel.json"
  start_program
  start_probe
  local m panel
  find_window "$STARTUP_TITLE" 60 >/dev/null &&
    [ "$(probe_field "Orvalis Benchmark - Configuration" "child: 319 " text)" = "Adapter: NVIDIA GeForce GTX 470" ] ||
    fail "the startup window does not name the adapter" || return 1
  m=$(choose_and_start "$RES_720P" "$JUST_PLAY") || return 1
  panel=$(find_window '^Mission Control$' 30) || fail "no panel" || return 1
  [ "$(probe_field "Mission Control" window: at)" = 40,40 ] || fail "the panel is not at (40, 40)" || return 1
  panel_shows 'Current: 1280x720$' || fail "the resolution label does not show the window's size" || return 1
  [ "$(probe_field "Orvalis Benchmark" window: foreground)" = 1 ] || fail "the main window lost the focus" || return 1
  # B and V: the check boxes ("Enable Physics Debris", then AUTOPLAY) show what the keys did, and again after.
  local boxes state
  for boxes in 01 10; do
    xdotool mousemove --window "$m" 400 240 key b key v
    wait_until 20 eval 'state=$(probe_field "Mission Control" "child: 226 " checked)$(probe_field "Mission Control" "child: 225 " checked);
      [ "$state" = $boxes ]' || fail "after B and V the check boxes read $state, not $boxes" || return 1
  done
  xdotool mousemove --window "$m" 400 240 key 1
  debug_line_within '^SpawnBall: ADD mode created 1 ball' 10 || fail "the key 1 spawned no ball" || return 1
  # After "+1 Ball" the game's keys go to the main window again.
  click_control "Mission Control" 222
  wait_until 10 eval '[ "$(debug_lines | grep -c "^SpawnBall: ADD mode created 1 ball")" = 2 ] &&
    [ "$(probe_field "Orvalis Benchmark" window: foreground)" = 1 ]' || fail "not the main window's keys after +1 Ball" || return 1
  # The labels follow once a second of frames has passed ("FPS: 0.0" until then), later on a loaded machine.
  wait_until 10 panel_shows 'FPS: ([0-9]*[1-9][0-9]*\.[0-9]|[0-9]+\.[1-9])$' || fail "no frame rate in the panel" || return 1
  wait_until 10 panel_shows 'GPU: physics [0-9]+\.[0-9]{2} ms, render [0-9]+\.[0-9]{2} ms$' || fail "no GPU time per pass" || return 1
  screenshot mission-control.png

  # A level button: the 1000 bricks of "6. SPECTRUM" appear on screen and in the telemetry.
  import -window "$m" "$ARTIFACTS/level-before.png"
  xdotool mousemove --window "$panel" 200 400 click --repeat 8 5  # the wheel, eight notches down
  local at= last  # the button where two probes in a row find it: the panel has scrolled
  wait_until 20 eval 'last=$at; at=$(probe_field "Mission Control" "child: 217 " centre); [ "$at" = "$last" ]' &&
    click_control "Mission Control" 217 || fail "no level button" || return 1
  wait_until 10 panel_shows 'Current Bricks: 1000' || fail "the level did not change" || return 1
  import -window "$m" "$ARTIFACTS/level-after.png"
  local changed; changed=$(compare -metric AE "$ARTIFACTS/level-before.png" "$ARTIFACTS/level-after.png" null: 2>&1 | cut -d' ' -f1)
  [ "${changed%.*}" -gt 10000 ] || fail "the screen did not change ($changed pixels)" || return 1

  # The ray steps field: "nan" and "abc" change nothing, "5000" is limited to 1024; Enter shows the value applied.
  local steps case typed shown want; steps=$(ray_steps)
  for case in "nan nan $steps" "abc abc $steps" "5000 * 1024"; do
    read -r typed shown want <<<"$case"
    click_control "Mission Control" 230 && press End shift+Home && xdotool type --delay 80 "$typed"
    wait_until 5 eval '[[ $(probe_field "Mission Control" "child: 230 " text) == $shown ]] && [ "$(ray_steps)" = "$want" ]' ||
      fail "$typed gave $(ray_steps) ray steps" || return 1
    press Return
    wait_until 5 eval '[ "$(probe_field "Mission Control" "child: 230 " text)" = "$want" ]' || fail "Enter left $typed" || return 1
  done
  # A refresh (G lowers the ball glow to 1.90) leaves the field being typed as it is: "1" is not "1.00" before ".5".
  click_control "Mission Control" 228 && press End shift+Home && xdotool type --delay 80 1 &&
    wait_until 5 eval '[ "$(probe_field "Mission Control" "child: 228 " text)" = 1 ]' && probe "!key 71 0 Orvalis Benchmark" >/dev/null &&
    wait_until 5 eval '[ "$(probe_field "Mission Control" "child: 229 " text)" = 1.90 ]' && xdotool type --delay 80 .5 &&
    wait_until 5 eval '[ "$(probe_field "Mission Control" "child: 228 " text)" = 1.5 ]' || fail "the field being typed was refreshed" ||
    return 1

  # "Launch Benchmark" opens one launch window, centred on the main window, and disables the panel.
  click_control "Mission Control" 231
  find_window '^Benchmark Configuration$' 20 >/dev/null || fail "no launch window" || return 1
  screenshot launch-window.png
  click_control "Mission Control" 231
  [ "$(probe_field "Mission Control" window: enabled)" = 0 ] || fail "the panel stayed enabled" || return 1
  [ "$(xdotool search --name '^Benchmark Configuration$' | wc -l)" = 1 ] || fail "a second launch window" || return 1
  local mc bc; mc=$(probe_field "Orvalis Benchmark" window: centre) bc=$(probe_field "Benchmark Configuration" window: centre)
  awk -v m="$mc" -v b="$bc" 'BEGIN { split(m, a, ","); split(b, c, ","); exit !((a[1] - c[1]) ^ 2 <= 1 && (a[2] - c[2]) ^ 2 <= 1) }' ||
    fail "not centred: main $mc, launch $bc" || return 1
  # Its keys: Tab to "Cancel" and the resolutions, the arrows along them (checking), Esc cancels; Enter starts next.
  local key control
  for key in -:1 Tab:2 Tab:300 Down:301 Up:300; do
    [ "${key%:*}" = - ] || press "${key%:*}"
    control=${key#*:}
    wait_until 5 eval 'probe "Benchmark Configuration" | grep -q "^child: $control .* focus=1 checked=$((control > 2))"' ||
      fail "after ${key%:*} the focus is not on $control, checked" || return 1
  done
  press Escape
  window_gone '^Benchmark Configuration$' 10 || fail "Esc left the launch window open" || return 1
  [ "$(probe_field "Mission Control" "child: 231 " visible)" = 1 ] || fail "Esc started a benchmark" || return 1
  click_control "Mission Control" 231
  find_window '^Benchmark Configuration$' 20 >/dev/null || fail "no second launch window" || return 1

  # Enter: "Start Benchmark", 854 x 480, the panel enabled again, "Abort" in place of "Launch Benchmark".
  press Return
  window_gone '^Benchmark Configuration$' 10 || fail "the launch window stayed" || return 1
  wait_until 10 eval '[ "$(client_size "$m")" = 854x480 ]' || sized "$m" 854x480 || return 1
  [ "$(probe_field "Mission Control" "child: 233 " visible)$(probe_field "Mission Control" "child: 231 " visible)" = 10 ] ||
    fail "not Abort in place of Launch Benchmark" || return 1
  # Everything that changes the work is locked (only "Abort" takes a click), the window's size too.
  probe "Mission Control" | panel_enabled 1 0 || fail "the work is not locked during the benchmark" || return 1
  [ "$(probe "!resize 1100 700 Orvalis Benchmark" | sed -n 's/^window: .* client=\([0-9x]*\) .*/\1/p')" = 854x480 ] ||
    fail "the frame was resized during the benchmark" || return 1

  # Minimised in the first recorded run: the run notes it. "Abort" writes the partial run's report.
  debug_line_within '^Benchmark Run 1: Recording started' 30 || fail "the first run did not start" || return 1
  probe "!show 6 0 Orvalis Benchmark" >/dev/null
  debug_line_within '^Benchmark: Run 1 went on with its window hidden' 20 || fail "the minimised run notes nothing" || return 1
  probe "!show 9 0 Orvalis Benchmark" >/dev/null
  wait_until 10 eval '[ "$(probe_field "Mission Control" "child: 233 " visible)" = 1 ]' || fail "the panel did not come back" || return 1
  click_control "Mission Control" 233
  wait_until 10 eval 'grep -q "(Single Run)</h1>" "$work"/benchmark_*.html 2>/dev/null' || fail "no single run's report" || return 1
  wait_until 10 eval 'grep -q "\"occluded\": true" "$work"/benchmark_*.json 2>/dev/null' || fail "the run does not say it was hidden" || return 1
  wait_until 10 eval 'cp "$work"/benchmark_*.json "$ARTIFACTS/aborted-from-panel.json" 2>/dev/null' || fail "no results file" || return 1
  wait_until 5 eval '[ "$(probe_field "Mission Control" "child: 231 " visible)" = 1 ]' || fail "Launch Benchmark not back" || return 1
  probe "Mission Control" | panel_enabled 1 1 || fail "the work is still locked after the benchmark" || return 1

  # Minimised in free play: nothing is drawn until the window shows again.
  probe "!show 6 0 Orvalis Benchmark" >/dev/null
  debug_line_within '^Frame loop: the window cannot be seen' 10 || fail "a minimised window went on drawing" || return 1
  probe "!show 9 0 Orvalis Benchmark" >/dev/null
  debug_line_within '^Frame loop: the window shows again' 10 && frames_go_on "$m" 20 || fail "no frames after the restore" || return 1

  # The panel's close box closes the panel only.
  close_window "$panel" 200 30
  window_gone '^Mission Control$' 10 || fail "the panel is still open" || return 1
  frames_go_on "$m" 10 && kill -0 "$program_pid" 2>/dev/null || fail "the program did not go on" || return 1
  close_window "$m"
  exits_cleanly 60
}

# At a Windows prompt (via OrvalisBench.com) the program ends before any window with its exit code and says why: 0
# --help and the adapters, 2 a bad argument, 4 an unusable output folder; with no standard streams it waits for nobody.
test_command_line_ends_with_its_exit_code() {
  local code dir args text result script= codes= row=0
  local rows='2||--benchmark single --debris 81|"--debris 81": the debris count is one of 0, 80, 160, 320, 640
4||--benchmark single --output Z:\proc|the output folder "Z:\proc" cannot be written
0||--help|Usage: OrvalisBench.exe
0||--list-adapters|* 0  NVIDIA GeForce GTX 470: vendor 0x10DE,
2||--benchmark single --adapter 5|"--adapter 5": there is no adapter 5; the adapters are 0 (NVIDIA GeForce GTX 470)
0||--compare x.json --help|--compare the program reads results files
4||--benchmark=single --resolution=1280X720 --output=Z:\proc\orvalis\a|the output folder "Z:\proc\orvalis\a" cannot be created
4|Z:\proc\sys|--benchmark single|the output folder "Z:\proc\sys" cannot be written'
  while IFS='|' read -r code dir args text; do
    script+="${dir:+cd /d $dir & }$(windows_path "$RUN_DIR")\\OrvalisBench $args & echo exit: !ERRORLEVEL! & "
    codes+="exit: $code "
  done <<<"$rows"
  work=$(mktemp -d /tmp/orvalis-e2e.XXXXXX)
  (cd "$work" && exec wine cmd /v:on /c "${script% & }" >"$work/stdout.txt" 2>"$work/stderr.txt") &
  program_pid=$!
  wait_for_exit 120
  [ "$(program_stdout | grep -o '^exit: [0-9]*' | tr '\n' ' ')" = "$codes" ] || fail "exit codes: $(program_stdout | grep '^exit:')" ||
    return 1
  while IFS='|' read -r code dir args text; do
    grep -qF -- "$text" "$work/$([ "$code" = 0 ] && echo stdout || echo stderr).txt" || fail "$args: no $text" || return 1
    if [ $((row += 1)) -le 4 ]; then
      result=$(wine "$RUN_DIR/OrvalisWindowProbe.exe" --start-without-streams 20 "$(windows_path "$EXE")" $args 2>/dev/null)
      [ "${result%$'\r'}" = "exit: $code" ] || fail "$args with no standard streams: $result" || return 1
    fi
  done <<<"$rows"
}

# At a prompt "Abort" ends a command-line benchmark at once with 3 after writing the run so far and printing its files.
test_command_line_benchmark_aborted_at_a_prompt() {
  local out; out=$(mktemp -d /tmp/orvalis-cli.XXXXXX)
  work=$(mktemp -d /tmp/orvalis-e2e.XXXXXX)
  (cd "$work" && exec wine cmd /v:on /c "$(windows_path "$RUN_DIR")\\OrvalisBench --benchmark single --output $(windows_path "$out") & echo exit: !ERRORLEVEL!" \
    >"$work/stdout.txt" 2>"$work/stderr.txt") &
  program_pid=$!
  start_probe
  debug_line_within '^Benchmark Run 1: Recording started' 180 || fail "the recorded run did not start" || return 1
  program_stdout | grep -qx '\[DX12\] Config: 854x480, debris=80, vsync=off, mode=single' || fail "no configuration line" || return 1
  click_control "Mission Control" 233 || fail "no Abort button" || return 1
  wait_for_exit 60
  local name; name=$(basename "$(ls "$out"/benchmark_*.html 2>/dev/null)" .html)
  [ "$exit_status" != timeout ] && program_stdout | grep -qx 'exit: 3 *' && [ -f "$out/$name.json" ] ||
    fail "$exit_status, $(program_stdout | grep exit:), files: $(ls "$out")" || return 1
  name=$(windows_path "$out")\\$name
  program_stdout | grep -Eqx 'score: [0-9]+' && [ "$(program_stdout | grep -cxF -e "report: $name.html" -e "results: $name.json")" = 2 ] ||
    fail "printed: $(program_stdout | tr '\n' '|')"
}

# Without its shader file "Fatal error" names it after Start; Return dismisses it and the program ends with 0.
test_missing_shader_is_a_fatal_error() {
  work=$(mktemp -d /tmp/orvalis-e2e.XXXXXX)
  cp "$RUN_DIR/OrvalisBench.exe" "$RUN_DIR/d3dcompiler_47.dll" "$work/"
  EXE=$work/OrvalisBench.exe WINEDEBUG=-all,+debugstr,trace+msgbox start_program
  local s; s=$(find_window "$STARTUP_TITLE" 60) || return 1
  click_at "$s" $START
  local box; box=$(find_window '^Fatal error$' 120) || return 1
  screenshot fatal-error.png
  local m; m=$(xdotool search --name '^Orvalis Benchmark - Zandor$' | head -1)
  [ -z "$m" ] || xdotool mousemove --window "$m" 100 100 mousemove --window "$m" 200 200 click 1 windowsize "$m" 640 360
  kill -0 "$program_pid" 2>/dev/null || fail "the program ended before its box was closed" || return 1
  click_at "$box" 5 5
  press Return
  exits_cleanly 30 || return 1
  grep -q 'orvalis_shaders.hlsl not found next to the executable' "$work/stderr.txt"
}

start_lane || exit 1
mkdir -p "$ARTIFACTS"
run_tests windows-program "$@"
