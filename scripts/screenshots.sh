#!/usr/bin/env bash
# Renders the desktop program's screenshots for the README to PNG files under
# docs/screenshots/, through Qt's offscreen platform: no display is needed.
# The window at start-up, the volume browser as a list and as thumbnails, the
# export and brightness dialogs and the 64 x 64 RGBA 8888 texture in its views
# come from the bundled sample volume; the 2048 x 2048 texture fitted to the
# window is drawn by the tool itself.
set -euo pipefail
cd "$(dirname "$0")/.."
[ -f build/build.ninja ] || cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build --target korvix-screenshots sample_volume
# A settings folder of its own: Qt's file dialog keeps its widths and history
# there, and the pictures should not depend on an earlier run.
config=$(mktemp -d)
trap 'rm -rf "$config"' EXIT
XDG_CONFIG_HOME=$config QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES='qt.qpa.*=false' \
  build/tests/shell/korvix-screenshots docs/screenshots build/sample.qrb
