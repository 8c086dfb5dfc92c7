#!/usr/bin/env bash
# How often an idle Orvantide wakes: starts the program on a private X display, lets it settle,
# then counts its main thread's context switches and CPU ticks over a minute.
#   scripts/idle-wakeups.sh [seconds to watch, default 60]
set -euo pipefail
cd "$(dirname "$0")/.."
watch=${1:-60}
program=${BUILD_DIR:-build}/src/app/orvantide
[ -x "$program" ] || cmake --build "${BUILD_DIR:-build}" --target orvantide >/dev/null
exec scripts/xvfb-run.sh bash -c '
    "$0" >/dev/null 2>&1 &
    pid=$!
    sleep 40   # start-up, and the worker threads retiring
    switches() { awk "/ctxt_switches/ {s += \$2} END {print s}" /proc/$pid/status; }
    ticks() { awk "{print \$14 + \$15}" /proc/$pid/stat; }
    a=$(switches); t=$(ticks)
    sleep "$1"
    echo "idle for $1 s: $(( $(switches) - a )) wake-ups of the main thread, $(( $(ticks) - t )) CPU ticks"
    kill $pid
    wait
' "$program" "$watch"
