#!/bin/bash
# Runs the GPU test executable under Wine (lavapipe) and checks the pipeline
# failures from run directories with a missing or broken shader file.
set -u
. "$ORVALIS_REPO/scripts/wine/lib.sh"
trap 'kill_program; stop_screen' EXIT
start_screen || exit 1

gpu_checks() {
  local out; out=$(mktemp)
  (cd /tmp && wine "$RUN_DIR/OrvalisGpuTests.exe" 2>/dev/null | tr -d '\r' >"$out")
  sed 's/^/  /' "$out"
  grep -q '^gpu: [0-9]* passed, 0 failed$' "$out"
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

tests=(test_rendering_debris_and_resize test_pipelines_build_from_the_project_shader
       test_missing_shader_file_stops_the_pipelines test_shader_without_renderer_stops_the_pipelines
       test_shader_with_an_include_fails_to_compile)
[ $# -gt 0 ] && tests=("$@")
for t in "${tests[@]}"; do
  check "${t#test_}" "$t"
done
echo "gpu-backend: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
