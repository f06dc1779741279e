#!/usr/bin/env bash
# Builds the Windows executable and runs its GPU and end-to-end tests under
# Wine on a virtual screen. Screenshots land in artifacts/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/prepare-windows.sh
mkdir -p artifacts
bash scripts/wine-env.sh run bash tests/e2e/all.sh "$@"
