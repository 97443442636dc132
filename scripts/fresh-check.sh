#!/usr/bin/env bash
# Checks on a minimal Debian 12 system made with debootstrap (only the
# essential packages), in two modes:
#
#   sudo scripts/fresh-check.sh [ROOT]
#       the set-up's package list: clones the committed tree into the system and
#       runs scripts/setup.sh, the build and every test there, so they see
#       nothing but what scripts/setup.sh installs.
#
#   sudo scripts/fresh-check.sh --packages [ROOT]
#       the Debian packages: builds them here (scripts/build.sh, then cpack -G DEB
#       in build/), installs them with apt into a fresh copy of the minimal
#       system (apt brings what their Depends name, nothing else), and runs
#       korvix-cli --version, korvix --version (offscreen) and the thumbnailer on
#       a texture there; then checks that the file triggers of shared-mime-info,
#       desktop-file-utils and the icon theme took in the new files.
#
# ROOT defaults to /var/tmp/korvix-fresh. Needs root, debootstrap and a Debian
# mirror. The minimal system is made once and kept as ROOT.tar; the first mode
# works in ROOT (kept for a second run; remove it to start over), the second in
# ROOT-packages, unpacked anew every time. CCACHE_DIR, when set, is shared with
# the first mode's system (which then also gets ccache, which changes nothing
# the tests see).
set -euo pipefail
cd "$(dirname "$0")/.."
mode=tree
if [ "${1:-}" = "--packages" ]; then
  mode=packages
  shift
fi
root=${1:-/var/tmp/korvix-fresh}
mirror=${DEBIAN_MIRROR:-http://deb.debian.org/debian}

[ "$(id -u)" -eq 0 ] || { echo "fresh-check.sh needs root (debootstrap, chroot, mounts)" >&2; exit 1; }
if [ ! -f "$root.tar" ]; then
  rm -rf "$root.new"
  debootstrap --variant=minbase bookworm "$root.new" "$mirror"
  tar -C "$root.new" -cf "$root.tar" .
  [ -d "$root" ] || mv "$root.new" "$root"
  rm -rf "$root.new"
fi
if [ "$mode" = packages ]; then
  system=$root-packages
  rm -rf "$system"
  mkdir -p "$system"
  tar -C "$system" -xf "$root.tar"
else
  system=$root
  [ -x "$system/usr/bin/apt-get" ] || { mkdir -p "$system"; tar -C "$system" -xf "$root.tar"; }
fi
cp /etc/resolv.conf "$system/etc/resolv.conf"

mounts=(proc sys dev dev/pts)
cleanup() {
  for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do
    mountpoint -q "$system/${mounts[i]}" && umount "$system/${mounts[i]}"
  done
  if [ -n "${CCACHE_DIR:-}" ] && mountpoint -q "$system/ccache"; then umount "$system/ccache"; fi
}
trap cleanup EXIT
for m in "${mounts[@]}"; do
  mountpoint -q "$system/$m" || mount --bind "/$m" "$system/$m"
done

if [ "$mode" = packages ]; then
  scripts/build.sh
  rm -f build/*.deb
  (cd build && cpack -G DEB)
  mkdir -p "$system/packages"
  cp build/*.deb samples/source/plasma.tga "$system/packages/"
  chroot "$system" /bin/bash -euo pipefail -c '
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    # What a desktop has, so that installing the packages runs the caches triggers.
    apt-get install -y -qq --no-install-recommends shared-mime-info desktop-file-utils \
      hicolor-icon-theme gtk-update-icon-cache >/dev/null
    apt-get install -y -qq --no-install-recommends /packages/*.deb
    korvix-cli --version
    QT_QPA_PLATFORM=offscreen korvix --version
    cd /tmp
    korvix-cli convert /packages/plasma.tga wall.tex --resize 256x256 --format dxt3 --alpha opaque
    env -i PATH=/usr/bin korvix-thumbnailer -s 128 file:///tmp/wall.tex wall.png
    head -c 24 wall.png | od -An -tx1 | tr -d " \n" | grep -q "0000008000000080" || { echo "no 128 x 128 thumbnail"; exit 1; }
    echo "korvix-thumbnailer: wall.png, 128 x 128"
    grep -q "^image/x-tarvos-ktex$" /usr/share/mime/types
    grep -q "^application/x-tarvos-qorb$" /usr/share/mime/types
    grep -q "de.tessarin.Korvix.desktop" /usr/share/applications/mimeinfo.cache
    grep -qa "image-x-tarvos-ktex" /usr/share/icons/hicolor/icon-theme.cache
    echo "triggers: the MIME database, the desktop entry cache and the icon cache know Korvix"
    # The development package: a program built against the installed library.
    apt-get install -y -qq --no-install-recommends g++ pkg-config >/dev/null
    printf "#include <qorbm.h>\n#include <cstdio>\nint main() { std::puts(QORBM_VERSION_STRING); }\n" > use.cpp
    g++ use.cpp $(pkg-config --cflags --libs qorbm) -o use && ./use
  '
  echo "fresh-check.sh --packages: the packages install and run on a minimal Debian 12"
  exit 0
fi

launcher=""
if [ -n "${CCACHE_DIR:-}" ]; then
  mkdir -p "$system/ccache"
  mount --bind "$CCACHE_DIR" "$system/ccache"
  chroot "$system" apt-get install -y -qq --no-install-recommends ccache >/dev/null
  launcher="-DCMAKE_CXX_COMPILER_LAUNCHER=ccache"
fi

rm -rf "$system/src/korvix"
mkdir -p "$system/src"
git clone -q . "$system/src/korvix"
chroot "$system" env CCACHE_DIR=/ccache CCACHE_BASEDIR=/src /bin/bash -c \
  "cd /src/korvix && scripts/setup.sh && scripts/build.sh $launcher && ctest --test-dir build --output-on-failure -j \$(nproc)"
