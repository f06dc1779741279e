#!/bin/bash
# Free play on the 1000-brick level with autoplay and 640 debris for ORVALIS_SOAK_MINUTES (20): resident memory sampled
# every 30 s stays within 5 % of the first sample after two minutes. Run by scripts/test.sh --reliability.
set -u
. "$ORVALIS_REPO/scripts/wine/lib.sh"
minutes=${ORVALIS_SOAK_MINUTES:-20}
export WINEDEBUG=-all,+debugstr
start_lane && start_screen || exit 1
start_program
m=$(choose_and_start "$JUST_PLAY") || { echo "soak: no main window"; exit 1; }
xdotool mousemove --window "$m" 400 240 click 1
press l l l l l                          # level 5: 1000 bricks, debris 8000
xdotool key --delay 20 --repeat 230 n    # 8000 - 230 x 32 = 640 debris
press b                                  # autoplay
press 2 2 2                              # eight balls

pid=$(pgrep -f 'OrvalisBench.exe' | head -1)
[ -n "$pid" ] || { echo "soak: no program process"; exit 1; }
samples=()
end=$((SECONDS + minutes * 60))
while [ $SECONDS -lt $end ]; do
  sleep 30
  kill -0 "$program_pid" 2>/dev/null || { echo "soak: the program ended"; exit 1; }
  rss=$(awk '/VmRSS/ {print $2}' "/proc/$pid/status" 2>/dev/null)
  samples+=("$rss")
  echo "soak: $(( (SECONDS - end + minutes * 60) / 60 )) min: resident ${rss} kB, $(xdotool getwindowname "$m")"
done
screenshot soak-end.png
close_window "$m"
exits_cleanly 60 || exit 1
# The first four samples (two minutes) cover the program settling in.
printf '%s\n' "${samples[@]}" | awk 'NR == 5 { base = $1 } NR > 5 { d = ($1 - base) / base; if (d > 0.05 || d < -0.05) bad = 1 }
  { last = $1 } END { printf "soak: resident memory %d kB after warm-up, %d kB at the end\n", base, last; exit bad }'
