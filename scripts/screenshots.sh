#!/usr/bin/env bash
# Renders the desktop program's main window in a few states to PNG files under
# docs/screenshots/, through Qt's offscreen platform: no display is needed.
# The picture is the sample volume's 64 x 64 RGBA 8888 texture.
set -euo pipefail
cd "$(dirname "$0")/.."
[ -f build/build.ninja ] || cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build --target korvix-screenshots sample_volume
# The window shows the texture's full path: render from a neutral folder, so
# that no path of the machine it ran on ends up in the pictures.
shots=/tmp/korvix-screenshots
mkdir -p "$shots"
cp build/sample-stage/textures/plasma_8888.tex "$shots/"
texture=$shots/plasma_8888.tex
QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES='qt.qpa.*=false' \
  build/tests/shell/korvix-screenshots docs/screenshots "$texture"

# The volume browser with the bundled sample volume, the export dialog and the
# brightness dialog.
cmake --build build --target korvix-browser-screenshots
QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES='qt.qpa.*=false' \
  build/tests/browser/korvix-browser-screenshots docs/screenshots build/sample.qrb
