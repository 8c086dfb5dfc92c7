#!/usr/bin/env bash
# How fast `orvantide --toggle` opens the palette of the running program, against its hot key and
# a bare start of the same program, on a private X display with openbox. Prints medians in ms.
#   scripts/toggle-latency.sh [rounds, default 20] [clips, default 2000] [characters, default 200]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
cmake --build "$build" --target orvantide >/dev/null
# Debian's interpreter: python3-xlib is installed for it.
exec scripts/xvfb-run.sh /usr/bin/python3 scripts/toggle-latency.py "$(realpath "$build/src/app/orvantide")" \
    "${1:-20}" "${2:-2000}" "${3:-200}"
