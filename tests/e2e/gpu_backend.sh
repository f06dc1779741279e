#!/bin/bash
# Runs the GPU test executable under Wine (lavapipe) and checks how building
# the pipelines fails with a broken shader file or a compiler that dies.
#   gpu_backend.sh [TEST...]
set -u
. "$ORVALIS_REPO/scripts/wine/lib.sh"

# The GPU checks run under Vulkan's validation layers: any error the
# program's own commands cause fails them.
test_rendering_debris_and_resize() {
  local out errors; out=$(mktemp); errors=$(mktemp)
  (cd /tmp && VK_INSTANCE_LAYERS=$VALIDATION timeout 600 wine "$RUN_DIR/OrvalisGpuTests.exe" 2>"$errors" |
    tr -d '\r' >"$out")
  sed 's/^/  /' "$out"
  grep -q '^gpu: [0-9]* passed, 0 failed$' "$out" && no_validation_errors "$out" "$errors" || return 1
  echo "  validation layers: no errors"
}

# What building the pipelines gave in a run directory whose shader file is
# the project's with sed script $1 applied, then the compiler's messages
# (the debugger output).
pipelines_with() {
  local dir; dir=$(mktemp -d /tmp/orvalis-gpu.XXXXXX)
  cp "$RUN_DIR/OrvalisGpuTests.exe" "$RUN_DIR/d3dcompiler_47.dll" "$dir/"
  sed "$1" "$RUN_DIR/orvalis_shaders.hlsl" >"$dir/orvalis_shaders.hlsl"
  (cd /tmp && WINEDEBUG=-all,+debugstr wine "$dir/OrvalisGpuTests.exe" --pipelines >"$dir/out" 2>"$dir/debug")
  tr -d '\r' <"$dir/out" | grep '^pipelines: '
  grep OutputDebugStringA "$dir/debug"
  rm -rf "$dir"
}

# A shader without renderCS fails on it, with the compiler's own message in
# the debugger output; one whose #include is not beside it fails on the
# first program compiled.
test_broken_shaders_stop_the_pipelines() {
  local result
  result=$(pipelines_with 's/void renderCS(/void renderMain(/')
  [ "$(head -1 <<<"$result")" = "pipelines: Failed to compile renderCS" ] || fail "$result" || return 1
  grep -q 'E5005.*renderCS' <<<"$result" || fail "no compiler message: $result" || return 1
  result=$(pipelines_with '1i #include "common.hlsl"' | head -1)
  [ "$result" = "pipelines: Failed to compile updatePhysics" ] || fail "$result"
}

# The stand-in compiler's shell is killed mid-compilation: the program hears of
# it at once (not after the compiler's 300 s limit) and no temporary file stays.
test_a_killed_compiler_is_noticed_and_leaves_nothing_behind() {
  local fake; fake=$(mktemp -d /tmp/orvalis-fake-compiler.XXXXXX)
  printf '#!/bin/sh\nkill -9 $PPID\nsleep 2\nexit 1\n' >"$fake/vkd3d-compiler"
  chmod +x "$fake/vkd3d-compiler"
  local temp; temp=$(ls -d "$WINEPREFIX"/drive_c/users/*/AppData/Local/Temp 2>/dev/null | head -1)
  local started=$SECONDS result
  result=$(PATH="$fake:$PATH" pipelines_with '' | head -1)
  local took=$((SECONDS - started))
  rm -rf "$fake"
  echo "  $result (after $took s)"
  [ "$result" = "pipelines: Failed to compile updatePhysics" ] && [ "$took" -lt 60 ] || return 1
  [ -z "$(ls "$temp" 2>/dev/null | grep '^orvalis-hlsl-')" ]
}

[ $# -gt 0 ] || set -- test_rendering_debris_and_resize test_a_killed_compiler_is_noticed_and_leaves_nothing_behind \
  test_broken_shaders_stop_the_pipelines
start_lane || exit 1
run_tests gpu-backend "$@"
