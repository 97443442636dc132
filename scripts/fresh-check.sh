#!/usr/bin/env bash
# Checks that the set-up's package list is complete: makes a minimal Debian 12
# system with debootstrap (only the essential packages), clones the committed
# tree into it and runs scripts/test.sh there, so the build and every test see
# nothing but what scripts/setup.sh installs.
#
#   sudo scripts/fresh-check.sh [ROOT]      (ROOT default: /var/tmp/korvix-fresh)
#
# Needs root, debootstrap and a Debian mirror. The system is kept for a second
# run; remove ROOT to start over. CCACHE_DIR, when set, is shared with it (the
# chroot then also gets ccache, which changes nothing the tests see).
set -euo pipefail
cd "$(dirname "$0")/.."
root=${1:-/var/tmp/korvix-fresh}
mirror=${DEBIAN_MIRROR:-http://deb.debian.org/debian}

[ "$(id -u)" -eq 0 ] || { echo "fresh-check.sh needs root (debootstrap, chroot, mounts)" >&2; exit 1; }
if [ ! -x "$root/usr/bin/apt-get" ]; then
  debootstrap --variant=minbase bookworm "$root" "$mirror"
fi
cp /etc/resolv.conf "$root/etc/resolv.conf"

mounts=(proc sys dev dev/pts)
cleanup() {
  for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do
    mountpoint -q "$root/${mounts[i]}" && umount "$root/${mounts[i]}"
  done
  if [ -n "${CCACHE_DIR:-}" ] && mountpoint -q "$root/ccache"; then umount "$root/ccache"; fi
}
trap cleanup EXIT
for m in "${mounts[@]}"; do
  mountpoint -q "$root/$m" || mount --bind "/$m" "$root/$m"
done

launcher=""
if [ -n "${CCACHE_DIR:-}" ]; then
  mkdir -p "$root/ccache"
  mount --bind "$CCACHE_DIR" "$root/ccache"
  chroot "$root" apt-get install -y -qq --no-install-recommends ccache >/dev/null
  launcher="-DCMAKE_CXX_COMPILER_LAUNCHER=ccache"
fi

rm -rf "$root/src/korvix"
mkdir -p "$root/src"
git clone -q . "$root/src/korvix"
chroot "$root" env CCACHE_DIR=/ccache CCACHE_BASEDIR=/src /bin/bash -c \
  "cd /src/korvix && scripts/setup.sh && scripts/build.sh $launcher && ctest --test-dir build --output-on-failure -j \$(nproc)"
