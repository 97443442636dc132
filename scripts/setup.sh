#!/usr/bin/env bash
# Installs the Debian 12 packages that building and testing Korvix need.
# Idempotent: packages that are present are left alone.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  libgtest-dev nlohmann-json3-dev
  libjpeg62-turbo-dev libpng-dev libtiff-dev zlib1g-dev
  libwmf-dev libemf2svg-dev librsvg2-dev
  # libwmf draws text only with these fonts; they are a recommendation, not a dependency.
  fonts-urw-base35
  # The desktop program and its offscreen tests.
  qt6-base-dev qt6-multimedia-dev qt6-svg-dev libgl-dev
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
