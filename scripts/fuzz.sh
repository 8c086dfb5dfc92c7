#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, in build-fuzz) and runs each for a bounded time. New corpus
# entries go to build-fuzz/corpus/<target>/ (the seeds in fuzz/corpus/ are only read), crashes to
# build-fuzz/artifacts/, each run's output to build-fuzz/logs/<target>.log. Exits non-zero when any
# target crashed, leaked, ran out of memory or timed out. A long run: not part of CI.
#   scripts/fuzz.sh [seconds per target, default 60] [target…]
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
shift || true
if ! [[ "$seconds" =~ ^[0-9]+$ ]] || [ "$seconds" -eq 0 ]; then
    echo "usage: scripts/fuzz.sh [seconds per target] [target…]" >&2
    exit 2
fi

EXTRA_PACKAGES="clang libclang-rt-14-dev" ./scripts/setup.sh --packages-only

build=build-fuzz
options=(-DORV_BUILD_FUZZERS=ON -DORV_BUILD_TESTS=OFF -DORV_BUILD_BENCHMARKS=OFF)
[ -f "$build/CMakeCache.txt" ] || options+=(-G Ninja)
CC=clang CXX=clang++ cmake -S . -B "$build" "${options[@]}"
cmake --build "$build" --target orv_fuzzers

targets=("$@")
if ((${#targets[@]} == 0)); then
    for seeds in fuzz/corpus/*/; do
        targets+=("$(basename "$seeds")")
    done
fi

mkdir -p "$build/artifacts" "$build/logs"
# Undefined behaviour already stops the program (-fno-sanitize-recover); this adds its stack.
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export QT_QPA_PLATFORM=offscreen
# The settings target writes a file each run; on a disk its syncs slow it a hundredfold.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
    export TMPDIR=/dev/shm
fi
failed=()
for target in "${targets[@]}"; do
    fuzzer="$build/fuzz/${target}_fuzzer"
    corpus="$build/corpus/$target"
    log="$build/logs/$target.log"
    mkdir -p "$corpus"
    echo "== $target: ${seconds}s"
    status=0
    "$fuzzer" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 \
        -artifact_prefix="$build/artifacts/$target-" "$corpus" "fuzz/corpus/$target" \
        >"$log" 2>&1 || status=$?
    grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb|Done [0-9]+ runs)' "$log" || true
    if [ "$status" -ne 0 ]; then
        failed+=("$target")
        echo "$target FAILED (exit $status); see $log" >&2
        grep -m1 -E '^(==[0-9]+==ERROR|SUMMARY|.*runtime error|.*property broken)' "$log" >&2 || true
    fi
done

if ((${#failed[@]})); then
    echo "Crashed: ${failed[*]} (inputs in $build/artifacts/)" >&2
    exit 1
fi
echo "No target crashed."
