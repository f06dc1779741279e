#!/usr/bin/env bash
# Installs what the build and the tests need on a Debian 12 host, once.
# Packages that are already installed are left alone, so this is cheap to repeat.
set -euo pipefail

packages=(cmake ninja-build g++ clang libgtest-dev libgmock-dev libbenchmark-dev nlohmann-json3-dev libboost-math-dev glslang-tools
          mingw-w64 g++-mingw-w64-x86-64 chromium python3 python3-scipy python3-numpy python3-jsonschema)
command -v node >/dev/null 2>&1 || packages+=(nodejs)
command -v npm >/dev/null 2>&1 || packages+=(npm)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if ((${#missing[@]} == 0)); then
  exit 0
fi
if [ "$(id -u)" != 0 ]; then
  echo "setup-host: missing packages: ${missing[*]}" >&2
  echo "setup-host: installing them needs root (run this script with sudo, or install them yourself)." >&2
  exit 1
fi
echo "setup-host: installing ${missing[*]}"
apt-get update -qq
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
