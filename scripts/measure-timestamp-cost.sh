#!/usr/bin/env bash
# Measures what the GPU timestamps cost: the same still scene (level 5, eight
# balls, debris 80, 72 ray steps, 854 x 480) drawn with and without them,
# alternating (with, without, with, ...) so that the machine's load falls on
# both alike. Prints each pair's frame rates, the ratio of their frame times
# (with / without) and the median ratio.
#   scripts/measure-timestamp-cost.sh [PAIRS] [SECONDS]   (5 pairs of 10 s by default)
set -euo pipefail
cd "$(dirname "$0")/.."
pairs=${1:-5}
seconds=${2:-10}
bash scripts/prepare-windows.sh
bash scripts/wine-env.sh run bash -c '
  . scripts/wine/lib.sh
  start_screen >/dev/null || exit 1
  fps() {
    (cd /tmp && wine "$RUN_DIR/OrvalisGpuTests.exe" --measure 5 80 72 '"$seconds"' program "$@" 2>/dev/null) | tr -d "\r" |
      sed -n "s/^measure: .* = \([0-9.]*\) FPS.*/\1/p"
  }
  ratios=()
  for pair in $(seq 1 '"$pairs"'); do
    with=$(fps)
    without=$(fps --no-timestamps)
    ratio=$(awk -v a="$with" -v b="$without" "BEGIN { if (a > 0 && b > 0) printf \"%.4f\", b / a }")
    printf "pair %d: with timestamps %s FPS, without %s FPS, frame time with / without %s\n" "$pair" "$with" "$without" "$ratio"
    ratios+=("$ratio")
  done
  stop_screen
  printf "%s\n" "${ratios[@]}" | sort -g | awk "{ r[NR] = \$1 } END {
    m = NR % 2 ? r[(NR + 1) / 2] : (r[NR / 2] + r[NR / 2 + 1]) / 2
    printf \"median frame time with / without timestamps: %.4f (%+.2f %%), target at most 1.01\n\", m, (m - 1) * 100 }"
'
