#!/usr/bin/env bash
# Renders the palette (empty, list, colour filter, paused, error) and the preview (text, image,
# colour, files) to PNG files on a private X display, for review.
#   scripts/render-screens.sh [output folder, default build/screens]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
output=$(realpath -m "${1:-$build/screens}")
rm -rf "$output"
cmake --build "$build" --target render_screens >/dev/null
scripts/xvfb-run.sh "$build/tests/screens/render_screens" "$output"
