#!/usr/bin/env bash
# Sets up, builds, and shows the bundled sample volume with korvix-cli.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh >/dev/null
build/cli/korvix-cli info build/sample.qrb
echo
build/cli/korvix-cli list build/sample.qrb
