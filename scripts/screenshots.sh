#!/usr/bin/env bash
# Renders the desktop program's main window in a few states to PNG files under
# docs/screenshots/, through Qt's offscreen platform: no display is needed.
# The picture is the sample volume's 64 x 64 RGBA 8888 texture.
set -euo pipefail
cd "$(dirname "$0")/.."
[ -f build/build.ninja ] || cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build --target korvix-screenshots sample_volume
texture=build/sample-stage/textures/plasma_8888.tex
QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES='qt.qpa.*=false' \
  build/tests/shell/korvix-screenshots docs/screenshots "$texture"
