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

xvfb_pid=
program_pid=
work=

start_screen() {
  local display=:${ORVALIS_XVFB_DISPLAY:-77}
  Xvfb "$display" -screen 0 "${ORVALIS_XVFB_SIZE:-2560x1440}x24" -nolisten tcp >/tmp/xvfb-$$.log 2>&1 &
  xvfb_pid=$!
  export DISPLAY=$display
  local i
  for i in $(seq 1 50); do
    xdotool getmouselocation >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  echo "the virtual screen did not start" >&2
  return 1
}

stop_screen() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  wait "$xvfb_pid" 2>/dev/null || true
  xvfb_pid=
}

# Starts the program in a fresh working directory; stdout and stderr (where
# Wine prints the debugger output) go to files there.
start_program() {
  work=$(mktemp -d /tmp/orvalis-e2e.XXXXXX)
  (cd "$work" && exec wine "$EXE" >"$work/stdout.txt" 2>"$work/stderr.txt") &
  program_pid=$!
}

# Waits for the program to end, up to $1 seconds; true when it ended with exit code 0.
exits_cleanly() {
  local limit=${1:-60} waited=0
  while kill -0 "$program_pid" 2>/dev/null; do
    if [ "$waited" -ge $((limit * 10)) ]; then
      echo "  the program did not end within $limit s"
      return 1
    fi
    sleep 0.1
    waited=$((waited + 1))
  done
  local code=0
  wait "$program_pid" || code=$?
  program_pid=
  [ "$code" = 0 ] || echo "  exit code $code"
  [ "$code" = 0 ]
}

# Ends whatever the last test left running, Wine's server included.
kill_program() {
  [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null
  "$WINESERVER" -k 2>/dev/null || true
  "$WINESERVER" -w 2>/dev/null || true
  [ -n "$program_pid" ] && wait "$program_pid" 2>/dev/null
  program_pid=
}

# The first mapped window whose title matches, waiting up to $2 seconds. A
# window is found by its title before it is mapped; input sent then is lost,
# so only a visible window counts, and it gets a moment to settle.
find_window() {
  local pattern=$1 limit=${2:-60} i id
  for i in $(seq 1 $((limit * 5))); do
    id=$(xdotool search --onlyvisible --name "$pattern" 2>/dev/null | head -1)
    if [ -n "$id" ]; then
      sleep 0.5
      echo "$id"
      return 0
    fi
    sleep 0.2
  done
  return 1
}

window_gone() {
  local pattern=$1 limit=${2:-30} i
  for i in $(seq 1 $((limit * 5))); do
    [ -z "$(xdotool search --name "$pattern" 2>/dev/null)" ] && return 0
    sleep 0.2
  done
  return 1
}

# Clicks at (x, y) of a window's client area.
click_at() {
  xdotool mousemove --window "$1" "$2" "$3" click 1
  sleep 0.3
}

# Clicks the startup window $1's Start button at ($2, $3) until the window
# goes: a click that reaches a window Wine has only just mapped can be lost.
click_start() {
  local try
  for try in 1 2 3; do
    click_at "$1" "$2" "$3"
    window_gone "$STARTUP_TITLE" 10 && return 0
  done
  echo "  the startup window stayed after three clicks on Start"
  return 1
}

# Presses keys in the window that has the keyboard focus.
press() {
  xdotool key --clearmodifiers "$@"
  sleep 0.3
}

# Closes the focused window the way its close box does (system menu close).
close_focused_window() {
  xdotool key --clearmodifiers alt+F4
}

client_size() {
  xdotool getwindowgeometry "$1" | sed -n 's/.*Geometry: \([0-9]*x[0-9]*\).*/\1/p'
}

screenshot() {
  mkdir -p "$ARTIFACTS"
  import -window root "$ARTIFACTS/$1" 2>/dev/null
}

# True when the screenshot's region (WxH+X+Y) is not uniformly black.
region_has_content() {
  local file=$1 region=$2 max
  max=$(convert "$file" -crop "$region" +repage -colorspace Gray -format '%[fx:maxima]' info: 2>/dev/null)
  awk -v m="${max:-0}" 'BEGIN { exit !(m > 0.05) }'
}

# The program's standard output (Windows text mode: CR LF line ends).
program_stdout() {
  tr -d '\r' <"$work/stdout.txt" 2>/dev/null
}

debug_lines() {
  grep -o 'OutputDebugStringA "[^"]*' "$work/stderr.txt" 2>/dev/null | sed 's/OutputDebugStringA "//'
}

# What another program on the Windows desktop sees of a window whose title
# begins with $1: a "window:" line and one "child:" line per control (which
# also gives the control's centre on the screen, wherever scrolling put it).
probe() {
  wine "$RUN_DIR/OrvalisWindowProbe.exe" "$1" 2>/dev/null | tr -d '\r'
}

# Field $2 (for example "scroll" or "enabled") of the window line.
probe_window_field() {
  probe "$1" | sed -n "s/^window: .* $2=\([-0-9]*\).*/\1/p"
}

# The line of control id $2 ($3: which of several with that id, from 1).
probe_control() {
  probe "$1" | grep "^child: $2 " | sed -n "${3:-1}p"
}

# Clicks the centre of control id $2 of the window titled $1.
click_control() {
  local centre; centre=$(probe_control "$1" "$2" | sed -n 's/.* centre=\([-0-9]*\),\([-0-9]*\) .*/\1 \2/p')
  [ -n "$centre" ] || return 1
  xdotool mousemove $centre click 1
  sleep 0.3
}

# Vulkan's validation layers watch every GPU command the program sends
# through vkd3d. Its messages go to the program's output.
VALIDATION=VK_LAYER_KHRONOS_validation

# The validation errors in the given files that the program's own work caused.
# Wine's presentation blits a zero-sized window (minimised, or mid-resize), or
# a swap chain whose buffers were just resized, into its image with regions
# that do not fit; those messages come from Wine's present path, not from
# anything the program recorded. The same path may still be blitting from a
# back buffer when a resize or the swap chain's release destroys it, after the
# program's own queue has drained: an image destroyed while in use by one of
# those blits' command buffers is Wine's too. Any other message is printed
# whole.
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
        if (blocks[i] ~ /VUID-vkDestroyImage-image-01000/ && match(blocks[i], /in use by VkCommandBuffer 0x[0-9a-f]+/) &&
            (substr(blocks[i], RSTART + 26, RLENGTH - 26) in wine)) continue
        print blocks[i]
      }
    }'
}

# Test bookkeeping.
passed=0
failed=0
failures=()
check() {
  local name=$1
  shift
  if "$@"; then
    passed=$((passed + 1))
    echo "ok - $name"
  else
    failed=$((failed + 1))
    failures+=("$name")
    echo "FAIL - $name"
    if [ -n "$work" ]; then
      echo "  stdout: $(tr '\n' '|' <"$work/stdout.txt" 2>/dev/null | cut -c1-400)"
      echo "  debug: $(debug_lines | tail -5 | tr '\n' '|' | cut -c1-600)"
    fi
  fi
}
