#!/usr/bin/env bash
# Renders the window, started on a sample member file, to docs/screenshot.png without a display.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
QT_QPA_PLATFORM=offscreen build/app/socios-screenshot docs/screenshot.png
echo "docs/screenshot.png written"
