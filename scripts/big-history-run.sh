#!/usr/bin/env bash
# Orvantide with a big history (2000 clips of 100 000 characters unless told): seconds to start,
# the palette's first list after --toggle, the search for "aguja" typed into it, and the memory
# (VmRSS, VmHWM) after start, after the search, once the palette is closed and after `list --limit 1`
# and `list --json` on the command line. Needs the program's
# "ready" (orv.app) and "list shown" (orv.model) debug lines. Runs on a private X display:
#   scripts/big-history.sh [clips] [characters]   (or: scripts/xvfb-run.sh scripts/big-history-run.sh PROGRAM [clips] [characters])
set -euo pipefail
program=$1
clips=${2:-2000}
characters=${3:-100000}
here=$(dirname "$0")
folder="$XDG_DATA_HOME/com.quarnelbrisk.orvantide"
database="$folder/history.db"
config="$XDG_CONFIG_HOME/com.quarnelbrisk.orvantide"
log=$(mktemp -t orvantide-big-history.XXXXXX.log)
fifo_dir=$(mktemp -d)
pid=""
keys=""
stampers=()

cleanup() {
    for writer in $keys $pid; do
        kill "$writer" 2>/dev/null || true
        wait "$writer" 2>/dev/null || true
    done
    # A stamper ends with its writer, unless that never started.
    if [ "${#stampers[@]}" -gt 0 ]; then
        sleep 0.1
        kill "${stampers[@]}" 2>/dev/null || true
        wait "${stampers[@]}" 2>/dev/null || true
    fi
    rm -rf "$fifo_dir"
}
trap cleanup EXIT

fail() {
    echo "big-history: $1" >&2
    echo "big-history: the program's log is $log; its end:" >&2
    tail -n 15 "$log" | cut -c1-300 >&2
    exit 1
}
# With a point whatever the locale, for awk.
now() {
    local time=$EPOCHREALTIME
    echo "${time/,/.}"
}
seconds() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", b - a }'; }
kilobytes() { awk -v key="$1:" '$1 == key { print $2 }' "/proc/$pid/status"; }
memory() { printf '%-30s VmRSS %7d kB   VmHWM %7d kB\n' "$1" "$(kilobytes VmRSS)" "$(kilobytes VmHWM)"; }
# Copies the lines of a new fifo to the file, each headed by its arrival time (the clock of
# $EPOCHREALTIME). Returns once the copier is about to read: a line that waited in the pipe for it
# would get a late time.
stamp() {
    mkfifo "$1"
    python3 -c 'import sys, time
out = open(sys.argv[2], "ab", buffering=0)
open(sys.argv[1] + ".ready", "w").close()
for line in open(sys.argv[1], "rb"):
    out.write(b"%.6f " % time.time() + line)' "$1" "$2" &
    stampers+=("$!")
    for _ in $(seq 1 500); do
        [ -e "$1.ready" ] && return
        sleep 0.01
    done
    fail "the copier for $1 did not start"
}
alive() { kill -0 "$pid" 2>/dev/null || fail "the program quit"; }
# Log lines are "<arrival time> <process time> <category> <message>".
ready_line() { awk '$3 == "orv.app" && $4 ~ /^ready/ { print; exit }' "$log"; }
# "<arrival time> <rows> <characters>" for each list shown from the given time on.
lists_since() {
    awk -v since="$1" '$3 == "orv.model" && $4 == "list" && $5 == "shown:" && $1 >= since {
        print $1, $6, $(NF - 1) }' "$log"
}
palette_windows() { xdotool search --onlyvisible --name '^Orvantide$' 2>/dev/null || true; }
focused_name() { xdotool getwindowfocus getwindowname 2>/dev/null || true; }

# ---- The history, written before the program first opens it.
filled_at=$(now)
with_needle=$(python3 "$here/big-history-fill.py" "$database" "$clips" "$characters")
filled=$(now)
printf 'history                        %d clips of %d characters, %d with "aguja" (%s MB on disk)\n' \
    "$clips" "$characters" "$with_needle" "$(du -m "$database" | cut -f1)"
printf 'seconds to fill                %s\n' "$(seconds "$filled_at" "$filled")"

# Any capture prunes to maxItems (300 by default); the program accepts only these values
# (PreferencesStore::allowedMax) and falls back to 300 for any other.
if [ "$clips" -gt 300 ]; then
    limit=""
    for allowed in 500 1000 2000; do
        if [ "$allowed" -ge "$clips" ]; then
            limit=$allowed
            break
        fi
    done
    if [ -z "$limit" ]; then
        limit=2000
        echo "note: maxItems is at most 2000 here: a capture would prune the history to 2000"
    fi
    mkdir -p "$config"
    chmod 700 "$config"
    (umask 077 && printf '{\n    "maxItems": %d\n}\n' "$limit" >"$config/defaults.json")
    printf 'maxItems                       %d\n' "$limit"
fi

# ---- Start.
stamp "$fifo_dir/stderr" "$log"
launched=$(now)
QT_LOGGING_RULES="orv.model.debug=true;orv.app.debug=true" \
    QT_MESSAGE_PATTERN="%{time process} %{category} %{message}" \
    "$program" 2>"$fifo_dir/stderr" &
pid=$!

deadline=$((EPOCHSECONDS + 60))
until [ -n "$(ready_line)" ]; do
    alive
    [ "$EPOCHSECONDS" -lt "$deadline" ] || fail "no \"ready\" within 60 s"
    sleep 0.05
done
read -r ready_at _ <<<"$(ready_line)"
printf 'seconds from launch to ready   %s\n' "$(seconds "$launched" "$ready_at")"
# The program loads the list once at start; the palette is opened after that has landed.
start_list=""
deadline=$((EPOCHSECONDS + 60))
while [ -z "$start_list" ] && [ "$EPOCHSECONDS" -lt "$deadline" ]; do
    alive
    sleep 0.05
    start_list=$(lists_since "$ready_at" | awk '$3 == 0 { print; exit }')
done
if [ -n "$start_list" ]; then
    read -r start_list_at start_rows _ <<<"$start_list"
    printf 'seconds from launch to list    %s (%d rows, loaded at start)\n' \
        "$(seconds "$launched" "$start_list_at")" "$start_rows"
else
    echo "note: no list within 60 s of ready, before the palette opened"
fi
sleep 1
memory "memory after start (+1 s)"

# ---- The palette and its first, unfiltered list.
toggled=$(now)
"$program" --toggle >/dev/null 2>&1 || fail "--toggle failed"
first=""
deadline=$((EPOCHSECONDS + 60))
until [ -n "$first" ]; do
    alive
    [ "$EPOCHSECONDS" -lt "$deadline" ] || fail "no list within 60 s of --toggle"
    sleep 0.02
    first=$(lists_since "$toggled" | awk '$3 == 0 { print; exit }')
done
read -r first_at first_rows _ <<<"$first"
printf 'seconds from toggle to list    %s (%d rows)\n' "$(seconds "$toggled" "$first_at")" "$first_rows"

# The search field takes the keys once the palette has the keyboard; openbox may not give it.
for _ in $(seq 1 40); do
    [ "$(focused_name)" = Orvantide ] && break
    sleep 0.05
done
if [ "$(focused_name)" != Orvantide ]; then
    window=$(palette_windows | head -n1)
    [ -n "$window" ] || fail "no visible palette window"
    xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowfocus --sync "$window"
    echo "palette activated with xdotool (the keyboard was on \"$(focused_name)\" before)"
fi
[ "$(focused_name)" = Orvantide ] || fail "the palette does not have the keyboard"

# ---- "aguja". xev, listening on the palette, tells when each key arrived there.
window=$(xdotool getwindowfocus)
stamp "$fifo_dir/keys" "$fifo_dir/keys.log"
xev -id "$window" -event keyboard >"$fifo_dir/keys" &
keys=$!
sleep 0.5
typed_at=$(now)
xdotool type --delay 120 aguja
typed=$(now)
sleep 0.2
presses=$(awk -v since="$typed_at" '$2 == "KeyPress" && $1 >= since { print $1 }' "$fifo_dir/keys.log")
[ "$(wc -l <<<"$presses")" -eq 5 ] || fail "xev saw $(grep -c . <<<"$presses") key presses, not 5"
first_key_at=$(head -n1 <<<"$presses")
last_key_at=$(tail -n1 <<<"$presses")
settled=""
deadline=$((EPOCHSECONDS + 60))
until [ -n "$settled" ]; do
    alive
    [ "$EPOCHSECONDS" -lt "$deadline" ] || fail "the list for \"aguja\" did not settle within 60 s"
    sleep 0.05
    settled=$(lists_since "$first_key_at" | awk -v now="$(now)" '
        { last = $0; at = $1; characters = $3; count++ }
        END { if (count && characters == 5 && now - at >= 1) print last, count }')
done
read -r settled_at rows _ lists <<<"$settled"
printf 'keys (xdotool --delay 120)     %s s from the first to the last, xdotool ran %s s\n' \
    "$(seconds "$first_key_at" "$last_key_at")" "$(seconds "$typed_at" "$typed")"
printf 'seconds from first key         %s to the settled list (%d rows; lists shown since the first key: %d)\n' \
    "$(seconds "$first_key_at" "$settled_at")" "$rows" "$lists"
printf 'seconds from last key          %s\n' "$(seconds "$last_key_at" "$settled_at")"
[ "$rows" -eq "$with_needle" ] || echo "note: $with_needle clips hold \"aguja\" but $rows rows were shown"
memory "memory after the search"

# ---- Closed again.
"$program" --toggle >/dev/null 2>&1 || fail "--toggle failed"
sleep 3
alive
[ -z "$(palette_windows)" ] || echo "note: the palette is still visible 3 s after --toggle"
memory "memory 3 s after closing"

# ---- The command line: a list reads each value's beginning only.
for listing in "list --limit 1" "list --json"; do
    started=$(now)
    # shellcheck disable=SC2086 # the words of the subcommand
    bytes=$("$program" $listing | wc -c) || fail "$listing failed"
    printf '%-30s %s s, %d bytes of output\n' "$listing" "$(seconds "$started" "$(now)")" "$bytes"
    memory "memory after $listing"
done

kept=$(python3 -c 'import sqlite3, sys
print(sqlite3.connect(sys.argv[1], timeout=5).execute("SELECT count(*) FROM clips").fetchone()[0])' "$database")
printf 'clips in the history at the end %d\n' "$kept"
echo "log: $log"
[ "$kept" -eq "$clips" ] || fail "the history lost clips ($kept of $clips left)"
