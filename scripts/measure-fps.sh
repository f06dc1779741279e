#!/usr/bin/env bash
# Measures the renderer's frame rate under Wine with lavapipe at 854 x 480 on
# one still scene per configuration (eight balls, debris bursts alive):
# levels 0 and 5, debris 80 and 640, ray steps 8, 72 and 256, the brute-force
# reference renderer, and a fill-only renderer as the ceiling of the present
# path. Prints a table with each figure's frame time as a multiple of the
# ceiling's, and saves screenshots of level 0 and of level 5 with 640 debris.
#   scripts/measure-fps.sh [SECONDS]      (10 s per configuration by default)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-10}
bash scripts/prepare-windows.sh
mkdir -p artifacts
bash scripts/wine-env.sh run bash -c '
  . scripts/wine/lib.sh
  start_screen >/dev/null || exit 1
  seconds='"$seconds"'
  # level debris raySteps renderer seconds [screenshot]
  configs=(
    "0 80 72 fill $seconds"
    "0 80 72 program $seconds renderer-level0.png"
    "0 640 72 program $seconds"
    "5 80 72 program $seconds"
    "5 640 72 program $seconds renderer-level5-debris640.png"
    "0 80 8 program $seconds"
    "0 80 256 program $seconds"
    "5 80 8 program $seconds"
    "5 80 256 program $seconds"
    "5 80 72 reference 1"
  )
  results=$(mktemp)
  for config in "${configs[@]}"; do
    set -- $config
    (cd /tmp && wine "$RUN_DIR/OrvalisGpuTests.exe" --measure "$1" "$2" "$3" "$5" "$4" 2>/dev/null | tr -d "\r" |
      grep "^measure:" >>"$results") &
    pid=$!
    if [ -n "${6:-}" ]; then
      sleep $(( $5 / 2 + 3 ))
      window=$(xdotool search --name "^Orvalis Benchmark" | head -1)
      [ -n "$window" ] && import -window "$window" "$ARTIFACTS/$6" 2>/dev/null
    fi
    wait "$pid"
    tail -1 "$results"
  done
  stop_screen
  echo
  awk -F"[:,=]" "
    /fill renderer/ { match(\$0, /= [0-9.]+ FPS/); ceiling = substr(\$0, RSTART + 2, RLENGTH - 6) }
    { match(\$0, /= [0-9.]+ FPS/); fps[NR] = substr(\$0, RSTART + 2, RLENGTH - 6); line[NR] = \$0 }
    END {
      printf \"%-58s %9s %10s %13s\\n\", \"configuration\", \"FPS\", \"frame ms\", \"x fill-only\"
      for (i = 1; i <= NR; i++) {
        split(line[i], part, \": \"); sub(/, 854x480.*/, \"\", part[2])
        printf \"%-58s %9.2f %10.1f %13.1f\\n\", part[2], fps[i], 1000 / fps[i], ceiling / fps[i]
      }
    }" "$results"
'
