#!/usr/bin/env bash
# Sets up, builds the desktop program, korvix-cli and the bundled sample volume
# (only these, with the build's progress shown), and opens the sample volume in
# the desktop program. Without a display it says why and shows the volume with
# korvix-cli instead.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
echo "Configuring and building korvix, korvix-cli and the sample volume (a few minutes on a fresh machine)..."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$(nproc)" --target korvix korvix-cli sample_volume
echo
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec build/korvix/korvix build/sample.qrb
fi
echo "No display (neither DISPLAY nor WAYLAND_DISPLAY is set): showing the sample volume with korvix-cli instead."
echo
build/cli/korvix-cli info build/sample.qrb
echo
build/cli/korvix-cli list build/sample.qrb
