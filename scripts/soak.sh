#!/usr/bin/env bash
# 5000 clipboard changes at 20 a second against a running Orvantide, with its memory from the
# start (about four minutes).
#   scripts/soak.sh [changes, default 5000]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
cmake --build "$build" --target orvantide soak_test >/dev/null
scripts/xvfb-run.sh "$build/tests/longrun/soak_test" "$(realpath "$build/src/app/orvantide")" "${1:-5000}"
