#!/bin/bash
# Runs the GPU tests under Wine (lavapipe) and checks pipelines that fail on a broken shader or a dying compiler.
#   gpu_backend.sh [TEST...]
set -u
. "$ORVALIS_REPO/scripts/wine/lib.sh"

# Under Vulkan's validation layers: any error the program's own commands cause fails the checks.
test_rendering_debris_and_resize() {
  local out errors; out=$(mktemp); errors=$(mktemp)
  (cd /tmp && VK_INSTANCE_LAYERS=$VALIDATION timeout 600 wine "$RUN_DIR/OrvalisGpuTests.exe" 2>"$errors") | tr -d '\r' >"$out"
  sed 's/^/  /' "$out"
  grep -q '^gpu: [0-9]* passed, 0 failed$' "$out" && no_validation_errors "$out" "$errors"
}

# Pipelines stop at once on the first program that fails (not after 300 s), leaving no temporary file. Each row: a sed
# script for the shader file, a folder first on PATH, what the run must say.
test_failed_compilations_stop_the_pipelines() {
  local fake; fake=$(mktemp -d /tmp/orvalis-fake-compiler.XXXXXX)
  printf '#!/bin/sh\nkill -9 $PPID\nsleep 2\nexit 1\n' >"$fake/vkd3d-compiler" && chmod +x "$fake/vkd3d-compiler"
  local temp; temp=$(ls -d "$WINEPREFIX"/drive_c/users/*/AppData/Local/Temp 2>/dev/null | head -1)
  local edit path want dir result began status=0
  while IFS='|' read -r edit path want; do
    dir=$(mktemp -d /tmp/orvalis-gpu.XXXXXX) began=$SECONDS
    cp "$RUN_DIR/OrvalisGpuTests.exe" "$RUN_DIR/d3dcompiler_47.dll" "$dir/"
    sed "$edit" "$RUN_DIR/orvalis_shaders.hlsl" >"$dir/orvalis_shaders.hlsl"
    (cd /tmp && PATH=$path$PATH WINEDEBUG=-all,+debugstr wine "$dir/OrvalisGpuTests.exe" --pipelines >"$dir/out" 2>"$dir/debug")
    result="$(tr -d '\r' <"$dir/out" | grep '^pipelines: ') $(grep -o 'E5005.*renderCS' "$dir/debug" | head -1)"
    echo "  $result (after $((SECONDS - began)) s)"
    [[ $result =~ $want ]] && [ $((SECONDS - began)) -lt 60 ] || { fail "not /$want/ within 60 s"; status=1; }
    rm -rf "$dir"
  done <<EOF
s/void renderCS(/void renderMain(/||^pipelines: Failed to compile renderCS E5005
1i #include "common.hlsl"||^pipelines: Failed to compile updatePhysics $
|$fake:|^pipelines: Failed to compile updatePhysics $
EOF
  rm -rf "$fake"
  [ -z "$(ls "$temp" 2>/dev/null | grep '^orvalis-hlsl-')" ] || fail "temporary files left in $temp" || return 1
  return $status
}

start_lane || exit 1
run_tests gpu-backend "$@"
