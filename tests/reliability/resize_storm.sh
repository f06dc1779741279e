#!/bin/bash
# Fifty window sizes in quick succession (1 x 1 and 8000 x 8000 among them) under a window manager: the program ends up
# rendering at the last. Run by scripts/test.sh --reliability.
set -u
. "$ORVALIS_REPO/scripts/wine/lib.sh"
export WINEDEBUG=-all,+debugstr
start_lane || exit 1
# A screen large enough for an 8000 x 8000 window (the window manager keeps windows on screen).
start_screen 8192x8192 && start_window_manager || exit 1
start_program
m=$(choose_and_start "$JUST_PLAY") && m=$(find_window "$FPS_TITLE" 90) || { echo "storm: no frames"; exit 1; }
xdotool mousemove --window "$m" 400 240 click 1 key b  # autoplay: the scene moves, so each new frame shows
sizes="1x1 8000x8000 $(for i in $(seq 1 47); do printf '%dx%d ' $((200 + i * 397 % 1900)) $((150 + i * 211 % 1100)); done)1024x576"
# Each size reaches the program (the window manager may widen it to a title bar); the next follows at once.
for size in $sizes; do
  xdotool windowsize "$m" ${size/x/ } sleep 0.3
  debug_line_within "resized to $(client_size "$m")|^OnResize: Ignoring zero" 20
  echo "storm: asked $size, got $(client_size "$m")"
done
echo "storm: $(debug_lines | grep -c '^OnResize: Successfully resized') successful resizes, $(debug_lines | grep -c 'Resize Error') failed"
[ "$(client_size "$m")" = 1024x576 ] && debug_lines | grep -q '^OnResize: Successfully resized to 1024x576' ||
  { echo "storm: client size $(client_size "$m"), last resize: $(debug_lines | grep '^OnResize: Successfully' | tail -1)"; exit 1; }
frames_go_on "$m" && shows_content "$m" resize-storm-end.png || { echo "storm: no frames at the last size"; exit 1; }
close_window "$m"
exits_cleanly 60
