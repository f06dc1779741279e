# Helpers for driving OrvalisBench.exe under Wine on a virtual screen.
# Sourced inside the Wine environment (scripts/wine-env.sh run), where the
# repository is at $ORVALIS_REPO.

RUN_DIR=$ORVALIS_REPO/build/mingw/wine-run
EXE=$RUN_DIR/OrvalisBench.exe
ARTIFACTS=${ORVALIS_ARTIFACTS:-$ORVALIS_REPO/artifacts}
WINESERVER=/usr/lib/x86_64-linux-gnu/wine/wineserver
command -v wineserver >/dev/null 2>&1 && WINESERVER=wineserver
STARTUP_TITLE='^Orvalis Benchmark - Configuration$'
MAIN_TITLE='^Orvalis Benchmark(( - Zandor)|( DX12 - Zandor \| FPS: [0-9]+( \| HDR ON)?))$'
FPS_TITLE='^Orvalis Benchmark DX12 - Zandor \| FPS: [0-9]+'
# Startup-window controls, at their layout's coordinates for 96 dots per inch.
START="85 408" EXIT="305 408" RES_720P="35 72" EXTREME="287 202" MULTI="210 312" JUST_PLAY="35 338"
DETERMINISTIC="35 370"
# Vulkan's validation layers watch every GPU command the program sends through vkd3d.
VALIDATION=VK_LAYER_KHRONOS_validation

# Tests that run beside others (ORVALIS_LANE=N, N > 0) get their own virtual
# screen and their own Wine server: one wineserver serves a Wine prefix, and
# kill_program ends everything it serves. The lane's prefix is a
# copy-on-write layer over the environment's, dropped when the lane ends.
lane=${ORVALIS_LANE:-0}
lane_dir=
xvfb_pid=
xvfb_size=
program_pid=
wm_pid=
work=

start_lane() {
  if [ "$lane" != 0 ]; then
    lane_dir=/tmp/orvalis-lane-$lane
    umount "$lane_dir/prefix" 2>/dev/null
    rm -rf "$lane_dir" && mkdir -p "$lane_dir/upper" "$lane_dir/work" "$lane_dir/prefix" &&
      { mount -t overlay overlay -o "lowerdir=$WINEPREFIX,upperdir=$lane_dir/upper,workdir=$lane_dir/work" \
          "$lane_dir/prefix" 2>/dev/null || cp -a "$WINEPREFIX/." "$lane_dir/prefix"; } ||
      { echo "lane $lane: no Wine prefix of its own (neither an overlay nor a copy could be made)" >&2; return 1; }
    export WINEPREFIX=$lane_dir/prefix
  fi
  trap end_lane EXIT
}

end_lane() {
  kill_program
  stop_screen
  if [ -n "$lane_dir" ]; then
    umount "$lane_dir/prefix" 2>/dev/null || umount -l "$lane_dir/prefix" 2>/dev/null
    rm -rf "$lane_dir"
  fi
}

# Runs "$@" every 0.2 s until it succeeds, for up to $1 seconds.
wait_until() {
  local end=$((SECONDS + $1))
  shift
  until "$@"; do
    [ "$SECONDS" -lt "$end" ] || return 1
    sleep 0.2
  done
}

# A virtual screen of $1 (WIDTHxHEIGHT, 2560x1440 unless given), display :77 + lane.
start_screen() {
  xvfb_size=${1:-2560x1440}
  export DISPLAY=:$((77 + lane))
  Xvfb "$DISPLAY" -screen 0 "${xvfb_size}x24" -nolisten tcp >/tmp/xvfb-$$.log 2>&1 &
  xvfb_pid=$!
  wait_until 10 xdotool getmouselocation >/dev/null 2>&1 || { echo "the virtual screen did not start" >&2; return 1; }
}

stop_screen() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  xvfb_pid=
}

# The virtual screen at size $1, started anew when it has another size.
use_screen() {
  [ "$xvfb_size" = "$1" ] && [ -n "$xvfb_pid" ] && return 0
  stop_screen
  start_screen "$1"
}

# Starts openbox on the screen; it has started once it names itself on the
# root window, which takes seconds when the machine is busy.
start_window_manager() {
  local log=/tmp/openbox-$lane.log
  openbox >"$log" 2>&1 &
  wm_pid=$!
  wait_until 60 eval 'xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"' && return 0
  echo "  openbox did not start within 60 s: $(tr '\n' '|' <"$log" | cut -c1-300)"
  return 1
}

# Starts the program with arguments $@ in the test's working directory (made
# on first use); its standard output and error (where Wine prints the
# debugger output) go to files there.
start_program() {
  [ -n "$work" ] || work=$(mktemp -d /tmp/orvalis-e2e.XXXXXX)
  (cd "$work" && exec wine "$EXE" "$@" >"$work/stdout.txt" 2>"$work/stderr.txt") &
  program_pid=$!
}

# Waits up to $1 seconds for the program to end; its exit code is then in
# $exit_status ("timeout" when it did not end).
wait_for_exit() {
  exit_status=timeout
  wait_until "$1" eval '! kill -0 "$program_pid" 2>/dev/null' || return 0
  exit_status=0
  wait "$program_pid" || exit_status=$?
  program_pid=
}

# True when the program ends with exit code 0 within $1 seconds.
exits_cleanly() {
  wait_for_exit "${1:-60}"
  [ "$exit_status" = 0 ] || fail "exit code $exit_status"
}

# Ends whatever the last test left running: the window manager, and the
# program with everything else Wine's server runs.
kill_program() {
  [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null && wait "$wm_pid" 2>/dev/null
  [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null
  "$WINESERVER" -k 2>/dev/null || true
  "$WINESERVER" -w 2>/dev/null || true
  [ -n "$program_pid" ] && wait "$program_pid" 2>/dev/null
  [ -n "${PROBE_PID:-}" ] && wait "$PROBE_PID" 2>/dev/null
  [ -n "${probe_in:-}" ] && exec {probe_in}>&- {probe_out}<&- && probe_in=
  program_pid= wm_pid=
}

# The first mapped window whose title matches $1, waiting up to $2 seconds. A
# window is found by its title before it is mapped; input sent then is lost,
# so only a visible window counts, and it gets a moment to settle.
find_window() {
  local id
  id=$(wait_until "${2:-60}" visible_window "$1") || return 1
  sleep 0.5
  echo "$id"
}

visible_window() { xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1 | grep .; }

no_window() { [ -z "$(xdotool search --name "$1" 2>/dev/null)" ]; }

window_gone() { wait_until "${2:-30}" no_window "$1"; }

# Clicks at (x, y) of a window's client area.
click_at() {
  xdotool mousemove --window "$1" "$2" "$3" click 1
  sleep 0.3
}

# Makes the startup window's choices (each "x y") and clicks Start until the
# window goes (a click that reaches a window Wine has only just mapped can be
# lost); prints the main window's id once it shows.
choose_and_start() {
  local s choice try
  s=$(find_window "$STARTUP_TITLE" 60) || fail "no startup window" || return 1
  for choice in "$@"; do click_at "$s" $choice; done
  for try in 1 2 3; do
    click_at "$s" $START
    window_gone "$STARTUP_TITLE" 10 && break
  done
  no_window "$STARTUP_TITLE" || fail "the startup window stayed after three clicks on Start" || return 1
  find_window "$MAIN_TITLE" 60 || fail "no main window after Start"
}

# Presses keys in the window that has the keyboard focus.
press() {
  xdotool key --clearmodifiers "$@"
  sleep 0.3
}

# Clicks window $1 at ($2, $3) (300, 300 unless given) and closes it the way
# its close box does (system menu close).
close_window() {
  click_at "$1" "${2:-300}" "${3:-300}"
  xdotool key --clearmodifiers alt+F4
}

client_size() {
  xdotool getwindowgeometry "$1" | sed -n 's/.*Geometry: \([0-9]*x[0-9]*\).*/\1/p'
}

screenshot() {
  mkdir -p "$ARTIFACTS"
  import -window root "$ARTIFACTS/$1" 2>/dev/null
}

# Saves window $1's image as $2 in the artifacts; true when it is not
# uniformly black.
shows_content() {
  mkdir -p "$ARTIFACTS"
  import -window "$1" "$ARTIFACTS/$2" 2>/dev/null || return 1
  local max; max=$(convert "$ARTIFACTS/$2" -colorspace Gray -format '%[fx:maxima]' info: 2>/dev/null)
  awk -v m="${max:-0}" 'BEGIN { exit !(m > 0.05) }'
}

# True when window $1 shows a new frame within $2 seconds.
frames_go_on() {
  local id=$1 first=$work/frame-first.png next=$work/frame-next.png
  import -window "$id" "$first" 2>/dev/null || return 1
  wait_until "${2:-20}" eval 'import -window "$id" "$next" 2>/dev/null &&
    [ "$(compare -metric AE "$first" "$next" null: 2>&1 | cut -d" " -f1)" != 0 ]'
}

# The program's standard output (Windows text mode: CR LF line ends).
program_stdout() {
  tr -d '\r' <"$work/stdout.txt" 2>/dev/null
}

debug_lines() {
  grep -o 'OutputDebugStringA "[^"]*' "$work/stderr.txt" 2>/dev/null | sed 's/OutputDebugStringA "//'
}

# True when a debugger line matching $1 comes within $2 seconds.
debug_line_within() {
  local pattern=$1
  wait_until "$2" eval 'debug_lines | grep -q -E "$pattern"'
}

# A Windows path for a Unix one (Wine's Z: drive).
windows_path() {
  echo "Z:${1//\//\\}"
}

# What another program on the Windows desktop sees of a window whose title
# begins with $1: a "window:" line and one "child: ID CLASS" line per control,
# each with the same fields (at, size, centre on the screen wherever scrolling
# put it, visible, enabled, foreground, pos of a slider, text last). One probe,
# started by start_probe, answers all of a test's questions.
start_probe() {
  coproc PROBE { wine "$RUN_DIR/OrvalisWindowProbe.exe" 2>/dev/null; }
  exec {probe_in}>&"${PROBE[1]}" {probe_out}<&"${PROBE[0]}"  # for pipelines too
}

# The whole answer is read before any of it is written: a reader that stops
# early leaves nothing behind for the next question.
probe() {
  local line answer=
  echo "$1" >&"$probe_in" || return 1
  while read -r -t 20 line <&"$probe_out"; do
    line=${line%$'\r'}
    [ "$line" = end ] && { printf '%s' "$answer"; return 0; }
    answer+=$line$'\n'
  done
  return 1
}

# Field $3 of the $4th (first unless given) line of window $1's answer that
# begins with $2 ("window:", "child: 230 ", "child: 0 msctls_trackbar32"); only
# the controls of that id are asked about.
probe_field() {
  local title=$1
  [[ $2 =~ ^child:\ ([0-9]+) ]] && title+="#${BASH_REMATCH[1]}"
  probe "$title" | grep "^$2" | sed -n "${4:-1}s/.* $3=//p" | sed 's/ [a-z]*=.*//'
}

# Clicks the centre of control id $2 of the window titled $1.
click_control() {
  local centre; centre=$(probe_field "$1" "child: $2 " centre)
  [ -n "$centre" ] || return 1
  xdotool mousemove ${centre/,/ } click 1
  sleep 0.3
}

# The validation errors in the given files that the program's own work caused.
# Wine's presentation blits a zero-sized window (minimised, or mid-resize), or
# a swap chain whose buffers were just resized, into its image with regions
# that do not fit; those messages come from Wine's present path, not from
# anything the program recorded. The same path may still be blitting from a
# back buffer when a resize or the swap chain's release destroys it, after the
# program's own queue has drained: an image destroyed while in use by one of
# those blits' command buffers is Wine's too. When no blit message names that
# command buffer, one swap chain's worth of such images (two) in a run is
# still Wine's race (measured: both back buffers at once, in about one run in
# two on a loaded machine); a program that released images its own frames
# still use would do it on every resize, far more often. Any other message is
# printed whole.
validation_errors() {
  cat "$@" 2>/dev/null | awk '
    function flush() { if (block != "") blocks[++n] = block; block = "" }
    /Validation Error:/ { flush(); block = $0; next }
    /^[[:space:]]*$/ { flush(); next }
    block != "" { block = block "\n" $0 }
    END {
      flush()
      wineBlit = "VUID-vkCmdBlitImage-(dstOffset|srcOffset)"
      for (i = 1; i <= n; i++) {
        if (blocks[i] !~ wineBlit) continue
        s = blocks[i]
        while (match(s, /VkCommandBuffer 0x[0-9a-f]+/)) { wine[substr(s, RSTART + 16, RLENGTH - 16)] = 1; s = substr(s, RSTART + RLENGTH) }
      }
      for (i = 1; i <= n; i++) {
        if (blocks[i] ~ wineBlit) continue
        if (blocks[i] ~ /VUID-vkDestroyImage-image-01000/ && match(blocks[i], /in use by VkCommandBuffer 0x[0-9a-f]+/)) {
          if (substr(blocks[i], RSTART + 26, RLENGTH - 26) in wine) continue
          destroyed[++d] = blocks[i]
          continue
        }
        print blocks[i]
      }
      for (i = 1; d > 2 && i <= d; i++) print destroyed[i]
    }'
}

no_validation_errors() {
  local found; found=$(validation_errors "$@")
  [ -z "$found" ] || { echo "  validation errors:"; echo "$found" | head -20 | sed 's/^/    /'; return 1; }
}

# Fails a check with a message.
fail() {
  echo "  $*" >&2
  return 1
}

# Runs the tests named in $2... (their functions; all the script's, in its
# order, unless given), each from a clean state, and prints one line per test
# and a summary titled $1; false when one failed.
run_tests() {
  local suite=$1 t passed=0 failed=0 began
  shift
  [ $# -gt 0 ] || set -- $(grep -o '^test_[a-z_]*' "$0")
  for t in "$@"; do
    export WINEDEBUG=-all,+debugstr
    use_screen 2560x1440 || return 1
    began=$SECONDS
    if "$t"; then
      passed=$((passed + 1))
      echo "ok - ${t#test_} ($((SECONDS - began)) s)"
    else
      failed=$((failed + 1))
      echo "FAIL - ${t#test_} ($((SECONDS - began)) s)"
      if [ -n "$work" ]; then
        echo "  stdout: $(tr '\n' '|' <"$work/stdout.txt" 2>/dev/null | cut -c1-400)"
        echo "  debug: $(debug_lines | tail -5 | tr '\n' '|' | cut -c1-600)"
      fi
    fi
    kill_program
    [ -n "$work" ] && rm -rf "$work"
    work=
  done
  echo "$suite: $passed passed, $failed failed"
  [ "$failed" -eq 0 ]
}
