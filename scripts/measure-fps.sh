#!/usr/bin/env bash
# Measures the frame rate of the renderer under Wine with lavapipe at 854 x 480:
# levels 0 and 5 (1000 bricks), debris 80 and 640, autoplay with eight balls.
#   scripts/measure-fps.sh [SECONDS]      (20 s per configuration by default)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}
bash scripts/prepare-windows.sh
bash scripts/wine-env.sh run bash -c '
  . scripts/wine/lib.sh
  start_screen >/dev/null || exit 1
  for level in 0 5; do
    for debris in 80 640; do
      (cd /tmp && wine "$RUN_DIR/OrvalisGpuTests.exe" --measure "$level" "$debris" '"$seconds"' 2>/dev/null | tr -d "\r" | grep "^measure:")
    done
  done
  stop_screen'
