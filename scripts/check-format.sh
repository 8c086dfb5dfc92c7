#!/usr/bin/env bash
# Fails, naming the files, when a C++ file differs from what clang-format (.clang-format) writes.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(find src tests bench fuzz -name '*.cpp' -o -name '*.h' | sort)
clang-format --dry-run --Werror "${files[@]}"
