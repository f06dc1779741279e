#!/bin/bash
# Runs the GPU test executable under Wine (lavapipe) and checks the pipeline
# failures from run directories with a missing or broken shader file.
set -u
. "$ORVALIS_REPO/scripts/wine/lib.sh"
trap 'kill_program; stop_screen' EXIT
start_screen || exit 1

# The GPU checks run under Vulkan's validation layers: any error the
# program's own commands cause fails them.
gpu_checks() {
  local out errors; out=$(mktemp); errors=$(mktemp)
  (cd /tmp && VK_INSTANCE_LAYERS=$VALIDATION timeout 600 wine "$RUN_DIR/OrvalisGpuTests.exe" 2>"$errors" |
    tr -d '\r' >"$out")
  sed 's/^/  /' "$out"
  grep -q '^gpu: [0-9]* passed, 0 failed$' "$out" || return 1
  local found; found=$(validation_errors "$out" "$errors")
  [ -z "$found" ] || { echo "  validation errors:"; echo "$found" | head -20 | sed 's/^/    /'; return 1; }
  echo "  validation layers: no errors"
}

# Prints what building the pipelines gave in a run directory whose shader
# file is $1 (none when empty).
pipelines_with() {
  local dir; dir=$(mktemp -d /tmp/orvalis-gpu.XXXXXX)
  cp "$RUN_DIR/OrvalisGpuTests.exe" "$RUN_DIR/d3dcompiler_47.dll" "$dir/"
  [ -n "$1" ] && cp "$1" "$dir/orvalis_shaders.hlsl"
  (cd /tmp && wine "$dir/OrvalisGpuTests.exe" --pipelines 2>/dev/null | tr -d '\r' | grep '^pipelines: ')
  rm -rf "$dir"
}

test_rendering_debris_and_resize() { gpu_checks; }

test_pipelines_build_from_the_project_shader() {
  [ "$(pipelines_with "$RUN_DIR/orvalis_shaders.hlsl")" = "pipelines: ok" ]
}

test_missing_shader_file_stops_the_pipelines() {
  [ "$(pipelines_with "")" = "pipelines: orvalis_shaders.hlsl not found next to the executable" ]
}

test_shader_without_renderer_stops_the_pipelines() {
  local broken=/tmp/orvalis-no-render.hlsl
  sed 's/void renderCS(/void renderMain(/' "$RUN_DIR/orvalis_shaders.hlsl" >"$broken"
  [ "$(pipelines_with "$broken")" = "pipelines: Failed to compile renderCS" ]
}

test_shader_with_an_include_fails_to_compile() {
  local including=/tmp/orvalis-include.hlsl
  { echo '#include "common.hlsl"'; cat "$RUN_DIR/orvalis_shaders.hlsl"; } >"$including"
  [ "$(pipelines_with "$including")" = "pipelines: Failed to compile updatePhysics" ]
}

# The stand-in compiler's shell is killed mid-compilation: the program hears of
# it at once (not after the compiler's 300 s limit) and no temporary file stays.
test_a_killed_compiler_is_noticed_and_leaves_nothing_behind() {
  local fake; fake=$(mktemp -d /tmp/orvalis-fake-compiler.XXXXXX)
  printf '#!/bin/sh\nkill -9 $PPID\nsleep 2\nexit 1\n' >"$fake/vkd3d-compiler"
  chmod +x "$fake/vkd3d-compiler"
  local temp; temp=$(ls -d "$WINEPREFIX"/drive_c/users/*/AppData/Local/Temp 2>/dev/null | head -1)
  local started=$SECONDS result
  result=$(PATH="$fake:$PATH" pipelines_with "$RUN_DIR/orvalis_shaders.hlsl")
  local took=$((SECONDS - started))
  rm -rf "$fake"
  echo "  $result (after $took s)"
  [ "$result" = "pipelines: Failed to compile updatePhysics" ] || return 1
  [ "$took" -lt 60 ] || return 1
  [ -z "$(ls "$temp" 2>/dev/null | grep '^orvalis-hlsl-')" ]
}

tests=(test_rendering_debris_and_resize test_a_killed_compiler_is_noticed_and_leaves_nothing_behind test_pipelines_build_from_the_project_shader
       test_missing_shader_file_stops_the_pipelines test_shader_without_renderer_stops_the_pipelines
       test_shader_with_an_include_fails_to_compile)
[ $# -gt 0 ] && tests=("$@")
for t in "${tests[@]}"; do
  check "${t#test_}" "$t"
done
echo "gpu-backend: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
