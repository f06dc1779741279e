#!/bin/bash
# Fifty window sizes in quick succession, 1 x 1 and 8000 x 8000 among them,
# under a window manager; the program must end up rendering at the last size.
# Run inside the Wine environment: scripts/test.sh --reliability.
set -u
. "$ORVALIS_REPO/scripts/wine/lib.sh"
JUST_PLAY=(35 338)
START=(85 408)
export WINEDEBUG=-all,+debugstr
trap 'kill_program; [ -n "${wm:-}" ] && kill "$wm"; stop_screen' EXIT
# A screen large enough for an 8000 x 8000 window (the window manager keeps windows on screen).
ORVALIS_XVFB_SIZE=8192x8192 start_screen || exit 1
openbox >/dev/null 2>&1 &
wm=$!
sleep 1

start_program
s=$(find_window "$STARTUP_TITLE" 60) || { echo "storm: no startup window"; exit 1; }
click_at "$s" "${JUST_PLAY[@]}"
click_start "$s" "${START[@]}" || exit 1
m=$(find_window '^Orvalis Benchmark DX12 - Zandor \| FPS: [0-9]+' 90) || { echo "storm: no main window"; exit 1; }
sizes=("1 1" "8000 8000")
for i in $(seq 1 47); do
  sizes+=("$((200 + (i * 397) % 1900)) $((150 + (i * 211) % 1100))")
done
sizes+=("1024 576")
# Each size is given time to reach the program (the window manager may adjust
# it: a window is at least a title bar wide); the next follows at once.
reached=0
for size in "${sizes[@]}"; do
  xdotool windowsize "$m" $size
  sleep 0.3
  actual=$(client_size "$m")
  for i in $(seq 1 100); do
    debug_lines | grep -q -E "resized to $actual|^OnResize: Ignoring zero" && break
    sleep 0.2
  done
  debug_lines | grep -q "resized to $actual" && reached=$((reached + 1))
  echo "storm: asked ${size/ /x}, got $actual"
done
echo "storm: the program followed $reached of ${#sizes[@]} sizes"
sleep 3
kill -0 "$program_pid" 2>/dev/null || { echo "storm: the program ended"; exit 1; }
echo "storm: $(debug_lines | grep -c '^OnResize: Successfully resized') successful resizes," \
  "$(debug_lines | grep -c 'Resize Error') failed, last: $(debug_lines | grep '^OnResize: Successfully' | tail -1)"
[ "$(client_size "$m")" = 1024x576 ] || { echo "storm: client size $(client_size "$m")"; exit 1; }
screenshot resize-storm-end.png
eval "$(xdotool getwindowgeometry --shell "$m")"
region_has_content "$ARTIFACTS/resize-storm-end.png" "1024x576+$X+$Y" || { echo "storm: the last frame is black"; exit 1; }
debug_lines | grep -q '^OnResize: Successfully resized to 1024x576' || { echo "storm: no resize to the last size"; exit 1; }
xdotool mousemove --window "$m" 300 300 click 1
close_focused_window
exits_cleanly 60
