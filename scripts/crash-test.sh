#!/usr/bin/env bash
# Kills Orvantide in the middle of a burst of copies and checks that its history survived.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
cmake --build "$build" --target orvantide crash_test >/dev/null
scripts/xvfb-run.sh "$build/tests/longrun/crash_test" "$(realpath "$build/src/app/orvantide")"
