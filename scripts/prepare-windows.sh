#!/usr/bin/env bash
# Builds OrvalisBench.exe (and its Wine run directory) and makes sure the Wine
# environment exists. Used by the run, test and measuring commands.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-host.sh
bash scripts/configure.sh mingw
cmake --build build/mingw -j"$(nproc 2>/dev/null || echo 2)"
bash scripts/wine-env.sh setup
