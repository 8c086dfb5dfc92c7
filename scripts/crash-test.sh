#!/usr/bin/env bash
# Kills Orvantide again and again in the middle of bursts of copies (and once while it starts) and
# checks after every restart that its history survived (about a minute).
#   scripts/crash-test.sh [kills, default 6]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
cmake --build "$build" --target orvantide crash_test >/dev/null
scripts/xvfb-run.sh "$build/tests/longrun/crash_test" "$(realpath "$build/src/app/orvantide")" "${1:-6}"
