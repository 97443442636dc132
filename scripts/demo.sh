#!/usr/bin/env bash
# Sets up, builds korvix-cli and the bundled sample volume (only these, with the
# build's progress shown), and shows the sample volume with korvix-cli.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
echo "Configuring and building korvix-cli and the sample volume (a few minutes on a fresh machine)..."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$(nproc)" --target korvix-cli sample_volume
echo
build/cli/korvix-cli info build/sample.qrb
echo
build/cli/korvix-cli list build/sample.qrb
