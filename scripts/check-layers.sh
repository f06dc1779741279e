#!/usr/bin/env bash
# Fails when a folder reaches up into the layers built on it: game/ may include
# only game/, bench/ only bench/ and game/; gpu/ and ui/ include no app/ header,
# and theApp, through which the main window reaches the App, is used only in app/.
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
report gpu 'app'
report ui 'app'
hits=$(grep -rn -w --include='*.h' --include='*.cpp' theApp bench game gpu ui tests tools || true)
if [ -n "$hits" ]; then
  echo "check-layers: theApp is used only in app/:" >&2
  echo "$hits" >&2
  status=1
fi
[ $status = 0 ] && echo "check-layers: game/ and bench/ depend on nothing above them; gpu/ and ui/ not on app/"
exit $status
