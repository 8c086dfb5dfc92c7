#!/usr/bin/env bash
# Peak memory of Orvantide while xclip offers a very large text (200 MB unless told): the
# program's resident high-water mark (VmHWM) before the copy and once the history holds the cut
# text, and the seconds until then. Not part of CTest; runs on a private X display:
#   scripts/large-text-memory.sh [megabytes]   (or: scripts/xvfb-run.sh scripts/large-text-memory-run.sh PROGRAM [megabytes])
set -euo pipefail
program=$1
megabytes=${2:-200}
database="$XDG_DATA_HOME/com.quarnelbrisk.orvantide/history.db"
text=$(mktemp)

"$program" 2>/dev/null &
pid=$!
trap 'kill "$pid" 2>/dev/null || true; rm -f "$text"' EXIT

for _ in $(seq 1 400); do
    [ -s "$database" ] && break
    sleep 0.05
done
sleep 1
kilobytes() { awk -v key="$1:" '$1 == key { print $2 }' "/proc/$pid/status"; }
longest() {
    python3 -c 'import sqlite3, sys
db = sqlite3.connect(sys.argv[1], timeout=5)
print(db.execute("SELECT coalesce(max(length(value)), 0) FROM clips").fetchone()[0])' "$database"
}

# Two-byte letters among ASCII words: a cut can fall inside a character.
python3 -c 'import sys
line = "una línea de texto con acentos: canción, pingüino, año ".encode()
total = int(sys.argv[1]) * 1000 * 1000
sys.stdout.buffer.write((line * (total // len(line) + 1))[:total])' "$megabytes" >"$text"
before=$(kilobytes VmHWM)
started=$(date +%s.%N)
xclip -selection clipboard -t UTF8_STRING -i <"$text"
kept=0
for _ in $(seq 1 1200); do
    kept=$(longest)
    [ "$kept" -ge 100000 ] && break
    sleep 0.1
done
finished=$(date +%s.%N)
after=$(kilobytes VmHWM)

printf 'text offered        %d MB\n' "$megabytes"
printf 'characters kept     %d\n' "$kept"
awk -v a="$started" -v b="$finished" 'BEGIN { printf "seconds to stored   %.1f\n", b - a }'
printf 'peak RSS before     %d kB\n' "$before"
printf 'peak RSS after      %d kB (+%d kB)\n' "$after" "$((after - before))"
[ "$kept" -ge 100000 ]
