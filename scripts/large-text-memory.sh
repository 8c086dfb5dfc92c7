#!/usr/bin/env bash
# Peak memory while a very large text (200 MB unless told) is copied: builds the program and runs
# scripts/large-text-memory-run.sh on a private X display.
#   scripts/large-text-memory.sh [megabytes]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
cmake --build "$build" --target orvantide >/dev/null
scripts/xvfb-run.sh scripts/large-text-memory-run.sh "$(realpath "$build/src/app/orvantide")" "${1:-200}"
