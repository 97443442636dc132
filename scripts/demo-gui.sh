#!/usr/bin/env bash
# Starts the desktop program on the bundled sample volume when a display is
# there; otherwise says why and shows the volume with korvix-cli instead.
set -euo pipefail
cd "$(dirname "$0")/.."
[ -x build/korvix/korvix ] && [ -f build/sample.qrb ] || scripts/build.sh >/dev/null
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec build/korvix/korvix build/sample.qrb
fi
echo "No display (neither DISPLAY nor WAYLAND_DISPLAY is set): showing the sample volume with korvix-cli instead."
echo
build/cli/korvix-cli info build/sample.qrb
echo
build/cli/korvix-cli list build/sample.qrb
