#!/usr/bin/env bash
# Measures what the GPU timestamps cost, in one run of the frame timer (tools/measure):
# the same still scene (level 5, eight balls, debris 80, 72 ray steps,
# 854 x 480) drawn in blocks with and without timestamps, pair after pair,
# the order alternating so that the machine's other work falls on both alike.
# Prints each pair's frame times and their ratio (with / without), and the
# median ratio.
#   scripts/measure-timestamp-cost.sh [PAIRS] [SECONDS]   (10 pairs of 5 s blocks by default)
set -euo pipefail
cd "$(dirname "$0")/.."
pairs=${1:-10}
seconds=${2:-5}
bash scripts/prepare-windows.sh
bash scripts/wine-env.sh run bash -c '
  . scripts/wine/lib.sh
  start_screen >/dev/null || exit 1
  (cd /tmp && wine "$RUN_DIR/OrvalisFrameTimer.exe" --timestamp-cost 5 80 72 '"$seconds"' '"$pairs"' 2>/dev/null) | tr -d "\r" |
    grep "^cost: \|^timestamps: "
  stop_screen
'
