#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer (gcc) in build-asan and
# runs every test there, the X11 ones included. A long run: not part of CI.
#   scripts/test-sanitizers.sh [ctest arguments…]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

./scripts/setup.sh --packages-only

build=build-asan
options=(-DORV_SANITIZE=ON -DORV_BUILD_TESTS=ON -DORV_BUILD_BENCHMARKS=OFF)
[ -f "$build/CMakeCache.txt" ] || options+=(-G Ninja)
cmake -S . -B "$build" "${options[@]}"
cmake --build "$build"

# Leaks count as failures; the suppressions name only system libraries, never project code.
export ASAN_OPTIONS="detect_leaks=1"
export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
ctest --test-dir "$build" --output-on-failure -j "$(nproc)" "$@"
