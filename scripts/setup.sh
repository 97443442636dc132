#!/usr/bin/env bash
# Installs the Debian 12 packages that building and testing Korvix need.
# Idempotent: packages that are present are left alone.
set -euo pipefail

# Installed without recommended packages, so everything needed at run time is named here.
# Checked against each library's Depends and Recommends: of the run-time libraries only
# libwmf recommends something the programs use (its fonts); librsvg2's recommendation
# (librsvg2-common, a gdk-pixbuf loader) and Qt GUI's (extra platform plugins, a GTK theme)
# are not used: the offscreen platform the tests use ships with libqt6gui6 itself.
packages=(
  # Build.
  cmake ninja-build g++ pkg-config
  # Tests.
  libgtest-dev
  # korvix_core and korvix-cli.
  nlohmann-json3-dev
  libjpeg62-turbo-dev libpng-dev libtiff-dev zlib1g-dev
  # The undo history compresses the differences of its steps.
  liblz4-dev
  # WMF and EMF pictures (leave out with -DKORVIX_ENABLE_METAFILES=OFF).
  libwmf-dev libemf2svg-dev librsvg2-dev
  # libwmf draws text only with these fonts, and librsvg and libemf2svg find their
  # fonts through fontconfig: a recommendation, not a dependency, so named here.
  fonts-urw-base35 fontconfig
  # The desktop program and its offscreen tests.
  qt6-base-dev qt6-multimedia-dev qt6-svg-dev libgl-dev
  # Qt's own dialog and button texts in German (qtbase_de).
  qt6-translations-l10n
  # The desktop files: icons rendered from SVG at build time; the tests validate
  # the desktop entry and the AppStream metadata and look the file types up.
  librsvg2-bin desktop-file-utils appstream shared-mime-info libglib2.0-bin
  # The Debian package (cpack -G DEB): dpkg-shlibdeps and the file type check it runs.
  dpkg-dev file
  # The fuzz harnesses and the sanitizer runs of scripts/ci-extra.sh.
  clang lld libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
