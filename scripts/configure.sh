#!/usr/bin/env bash
# Configures build/PRESET from its CMake preset, with ARG... added; a build
# folder made earlier with another generator than the preset's is started afresh.
#   scripts/configure.sh PRESET [ARG...]
set -euo pipefail
cd "$(dirname "$0")/.."
cache=build/$1/CMakeCache.txt
if [ -f "$cache" ] && ! grep -qx 'CMAKE_GENERATOR:INTERNAL=Ninja' "$cache"; then
  rm -rf "$cache" "build/$1/CMakeFiles"
fi
cmake --preset "$@" >/dev/null
