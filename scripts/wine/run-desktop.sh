#!/bin/bash
# Runs OrvalisBench.exe on the user's desktop; reports land in artifacts/run.
set -u
. "$ORVALIS_REPO/scripts/wine/lib.sh"
out=$ORVALIS_REPO/artifacts/run
mkdir -p "$out"
cd "$out" && exec wine "$EXE"
