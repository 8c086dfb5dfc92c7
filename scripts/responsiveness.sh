#!/usr/bin/env bash
# How fast the palette answers the hot key while the clipboard is being read: a 62 MB PNG from
# xclip, an owner that never answers, and nothing (for reference). Prints each run and the medians.
#   scripts/responsiveness.sh [runs, default 5] [program, default the build's orvantide]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
cmake --build "$build" --target orvantide responsiveness_test hung_owner >/dev/null
program=$(realpath "${2:-$build/src/app/orvantide}")
scripts/xvfb-run.sh "$build/tests/longrun/responsiveness_test" "$program" \
    "$(realpath "$build/tests/x11/hung_owner")" "${1:-5}"
