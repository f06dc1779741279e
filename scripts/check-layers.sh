#!/usr/bin/env bash
# Fails when the simulation or the benchmark reach up into the layers built on
# them: game/ may include only game/, bench/ only bench/ and game/.
set -euo pipefail
cd "$(dirname "$0")/.."
status=0
report() {
  local folder=$1 forbidden=$2 hits
  hits=$(grep -n -E "#include \"($forbidden)/" "$folder"/*.h "$folder"/*.cpp 2>/dev/null || true)
  if [ -n "$hits" ]; then
    echo "check-layers: $folder/ must not include $forbidden/:" >&2
    echo "$hits" >&2
    status=1
  fi
}
report game 'app|bench|gpu|ui'
report bench 'app|gpu|ui'
[ $status = 0 ] && echo "check-layers: game/ and bench/ depend on nothing above them"
exit $status
