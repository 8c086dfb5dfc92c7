#!/usr/bin/env bash
# Orvantide with a big history (2000 clips of 100 000 characters unless told): builds the program
# and runs scripts/big-history-run.sh on a private X display. Takes about a minute.
#   scripts/big-history.sh [clips, default 2000] [characters, default 100000]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
cmake --build "$build" --target orvantide >/dev/null
scripts/xvfb-run.sh scripts/big-history-run.sh "$(realpath "$build/src/app/orvantide")" \
    "${1:-2000}" "${2:-100000}"
