#!/usr/bin/env bash
# Builds OrvalisBench.exe and runs it under Wine with software Vulkan.
# With a display ($DISPLAY) the windows open on your desktop; without one the
# program runs on a virtual screen and plays the default benchmark by itself.
# Reports are written to artifacts/run/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/prepare-windows.sh
if [ -n "${DISPLAY:-}" ]; then
  exec bash scripts/wine-env.sh run bash scripts/wine/run-desktop.sh
else
  exec bash scripts/wine-env.sh run bash scripts/wine/run-headless.sh
fi
