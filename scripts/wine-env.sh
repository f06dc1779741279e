#!/usr/bin/env bash
# The environment in which the Windows program runs on Linux: Wine 10 with
# Mesa's software Vulkan driver (lavapipe) and vkd3d-compiler for the HLSL
# stand-in compiler.
#
#   scripts/wine-env.sh setup            create (once) and check the environment
#   scripts/wine-env.sh run CMD [ARG...] run CMD in it, from the repository ($ORVALIS_REPO)
#   scripts/wine-env.sh where            print which environment is used
#
# When this machine already has Wine 10 or newer, vkd3d-compiler and a Vulkan
# driver, they are used as they are. Otherwise a private Debian (sid) tree is
# made once under /var/cache/orvalis-bench (this needs root) and reused; its
# Wine prefix is made once and reused too. Set-up is safe to interrupt: every
# step is redone until its marker is written, and mounts are always undone.
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
cache=${ORVALIS_ENV_DIR:-/var/cache/orvalis-bench}
root=$cache/sid
mirror=${ORVALIS_DEBIAN_MIRROR:-http://deb.debian.org/debian}
inside_repo=/orvalis
packages=(wine wine64 mesa-vulkan-drivers libvulkan1 vkd3d-compiler xvfb xauth xdotool imagemagick
          x11-utils procps ca-certificates openbox vulkan-validationlayers)

say() { printf 'wine-env: %s\n' "$*" >&2; }
die() { say "$*"; exit 1; }

host_wine_usable() {
  command -v wine >/dev/null 2>&1 || return 1
  command -v vkd3d-compiler >/dev/null 2>&1 || return 1
  local tool
  for tool in Xvfb xdotool import convert openbox; do
    command -v "$tool" >/dev/null 2>&1 || return 1
  done
  ls /usr/share/vulkan/explicit_layer.d/VkLayer_khronos_validation.json >/dev/null 2>&1 || return 1
  local version major
  version=$(wine --version 2>/dev/null) || return 1          # "wine-10.0"
  major=${version#wine-}; major=${major%%.*}
  [[ $major =~ ^[0-9]+$ ]] && ((major >= 10)) || return 1
  ls /usr/share/vulkan/icd.d/*.json >/dev/null 2>&1 || return 1
}

mode() {
  if [ "${ORVALIS_USE_CHROOT:-}" != 1 ] && host_wine_usable; then echo host; else echo chroot; fi
}

need_root() {
  [ "$(id -u)" = 0 ] || die "the private Wine environment under $cache has to be created and entered as root; run this as root (sudo), or install Wine 10+, vkd3d-compiler, a Vulkan driver and its validation layers, Xvfb, xdotool, ImageMagick and openbox on this machine"
}

mounted=()
unmount_all() {
  local i
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
    umount "${mounted[i]}" 2>/dev/null || umount -l "${mounted[i]}" 2>/dev/null || true
  done
  mounted=()
}

mount_into_root() {
  mkdir -p "$root/proc" "$root/sys" "$root/dev" "$root/tmp/.X11-unix" "$root$inside_repo"
  mountpoint -q "$root/proc" || { mount -t proc proc "$root/proc"; mounted+=("$root/proc"); }
  mountpoint -q "$root/sys" || { mount --rbind /sys "$root/sys"; mount --make-rslave "$root/sys"; mounted+=("$root/sys"); }
  mountpoint -q "$root/dev" || { mount --rbind /dev "$root/dev"; mount --make-rslave "$root/dev"; mounted+=("$root/dev"); }
  # The run lock is held: a repository still mounted here is left over from a
  # run that was killed, perhaps of another checkout, and must not be tested.
  while mountpoint -q "$root$inside_repo"; do umount -l "$root$inside_repo"; done
  mount --bind "$repo" "$root$inside_repo"; mounted+=("$root$inside_repo")
  if [ -d /tmp/.X11-unix ] && [ -n "${DISPLAY:-}" ] && ! mountpoint -q "$root/tmp/.X11-unix"; then
    mount --bind /tmp/.X11-unix "$root/tmp/.X11-unix"; mounted+=("$root/tmp/.X11-unix")
  fi
}

in_root() {
  chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    LANG=C.UTF-8 "$@"
}

setup_chroot() {
  need_root
  mkdir -p "$cache"
  exec 9>"$cache/.lock"
  flock 9
  if [ ! -f "$root/.orvalis-base" ]; then
    command -v debootstrap >/dev/null 2>&1 || {
      say "installing debootstrap"
      apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq debootstrap >/dev/null
    }
    say "creating a Debian sid tree in $root (once)"
    rm -rf "$root"
    debootstrap --variant=minbase sid "$root" "$mirror" >"$cache/debootstrap.log" 2>&1 ||
      die "debootstrap failed; see $cache/debootstrap.log"
    # The mirror may be a frozen snapshot whose Release files have expired.
    echo 'Acquire::Check-Valid-Until "false";' >"$root/etc/apt/apt.conf.d/99orvalis-no-expiry"
    touch "$root/.orvalis-base"
  fi
  if [ -f "$root/.orvalis-packages" ] && [ "$(cat "$root/.orvalis-packages")" = "${packages[*]}" ] &&
     [ -f "$root/root/.orvalis-prefix" ]; then
    flock -u 9
    return
  fi
  # Mounting into the tree while another run uses it would pull its mounts
  # from under it: the installation waits for the runs.
  exec 7>"$cache/.run.lock"
  flock 7
  trap unmount_all EXIT
  mount_into_root
  if [ ! -f "$root/.orvalis-packages" ] || [ "$(cat "$root/.orvalis-packages")" != "${packages[*]}" ]; then
    say "installing Wine, lavapipe and vkd3d-compiler in $root (once)"
    cp /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null || true
    in_root sh -c 'apt-get update -qq' >"$cache/apt.log" 2>&1 || die "apt-get update failed in $root; see $cache/apt.log"
    in_root sh -c "DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends ${packages[*]}" \
      >>"$cache/apt.log" 2>&1 || die "installing Wine in $root failed; see $cache/apt.log"
    printf '%s' "${packages[*]}" >"$root/.orvalis-packages"
  fi
  if [ ! -f "$root/root/.orvalis-prefix" ]; then
    say "creating the Wine prefix (once)"
    rm -rf "$root/root/wineprefix"
    in_root sh -c 'WINEPREFIX=/root/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" wine wineboot -i >/dev/null 2>&1;
                   WINEPREFIX=/root/wineprefix /usr/lib/x86_64-linux-gnu/wine/wineserver -w' ||
      die "wineboot failed in $root"
    touch "$root/root/.orvalis-prefix"
  fi
  unmount_all
  trap - EXIT
  exec 7>&-
  flock -u 9
}

setup_host() {
  local prefix=${WINEPREFIX:-$HOME/.cache/orvalis-bench/wineprefix}
  if [ ! -f "$prefix/.orvalis-prefix" ]; then
    say "creating the Wine prefix $prefix (once)"
    mkdir -p "$(dirname "$prefix")"
    WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" wine wineboot -i >/dev/null 2>&1
    wineserver -w 2>/dev/null || true
    touch "$prefix/.orvalis-prefix"
  fi
}

# The variables every program run in the environment gets.
wine_vars() {
  local prefix=$1 repo_path=$2
  echo "WINEPREFIX=$prefix" "WINEDEBUG=${WINEDEBUG:--all}" "ORVALIS_REPO=$repo_path" \
       "VKD3D_CAPS_OVERRIDE=feature_level=12.0" "VK_ICD_FILENAMES=/usr/share/vulkan/icd.d/lvp_icd.json" \
       "WINEDLLOVERRIDES=d3dcompiler_47=n;mscoree,mshtml=" "LIBGL_ALWAYS_SOFTWARE=1"
}

run_in_env() {
  local m
  m=$(mode)
  if [ "$m" = host ]; then
    setup_host
    local prefix=${WINEPREFIX:-$HOME/.cache/orvalis-bench/wineprefix}
    # shellcheck disable=SC2046
    (cd "$repo" && env $(wine_vars "$prefix" "$repo") DISPLAY="${DISPLAY:-}" XAUTHORITY="${XAUTHORITY:-}" "$@")
  else
    setup_chroot
    # One run at a time: every run mounts the repository at the same place.
    exec 8>"$cache/.run.lock"
    flock 8
    trap unmount_all EXIT
    mount_into_root
    local xauth=""
    if [ -n "${DISPLAY:-}" ] && [ -n "${XAUTHORITY:-}" ] && [ -f "$XAUTHORITY" ]; then
      cp "$XAUTHORITY" "$root/root/.Xauthority-host"; xauth=XAUTHORITY=/root/.Xauthority-host
    fi
    local status=0
    # shellcheck disable=SC2046
    chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/local/bin:/usr/bin:/bin LANG=C.UTF-8 \
      $(wine_vars /root/wineprefix "$inside_repo") DISPLAY="${DISPLAY:-}" $xauth \
      /bin/sh -c 'cd "$ORVALIS_REPO" && exec "$@"' sh "$@" || status=$?
    unmount_all
    trap - EXIT
    flock -u 8
    return $status
  fi
}

case "${1:-}" in
  setup)
    if [ "$(mode)" = host ]; then setup_host; else setup_chroot; fi
    say "ready ($(mode))" ;;
  run)
    shift
    [ $# -gt 0 ] || die "usage: $0 run CMD [ARG...]"
    run_in_env "$@" ;;
  where)
    if [ "$(mode)" = host ]; then echo host; else echo "chroot $root"; fi ;;
  *)
    die "usage: $0 setup | run CMD [ARG...] | where" ;;
esac
