#!/usr/bin/env bash
# Runs every benchmark program (three repetitions each) and prints one table: operation, size,
# median and goal. Offscreen; the store works on its own thread, so times are wall-clock. A goal
# line naming a counter reports that counter's median instead of the time; a goal '-' is a
# figure to compare with, never missed. Then the whole program on a private X display: the
# palette by `--toggle` and by the hot key (scripts/toggle-latency.sh, about 30 s) and its idle
# wake-ups (scripts/idle-wakeups.sh, 40 s of start-up and 20 s watched). Five to ten minutes in
# all; ORV_BENCH_NO_DESKTOP=1 leaves the last two out.
#   scripts/bench.sh [extra Google Benchmark flags…]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
cmake --build "$build" --target store_bench model_bench palette_bench preview_bench orvantide >/dev/null
export QT_QPA_PLATFORM=offscreen

# name pattern → operation, size, goal (all times in milliseconds)[, counter]
goals='
BM_ListAll/200/|list, empty search|2000 clips × 200 B|5
BM_ListAll/100000/|list, empty search|2000 clips × 100 000 chars|400
BM_SearchWord/200/|search for a word|2000 clips × 200 B|5
BM_SearchWord/100000/|search for a word|2000 clips × 100 000 chars|400
BM_TextCapture/|text capture (upsert + prune)|2000 clips|2
BM_ImageValue/|image key (FNV-1a)|20 MiB|60
BM_RecordImage/|record image|4000 × 3000 PNG|1500
BM_RecordText/|record(_:) of a text, palette closed|2000 clips|3
BM_ReloadWithKindFilter/|reload + visibleClips, kind filter|2000 clips|10
BM_ToggleToListOnScreen/|toggle to list on screen|2000 clips, 200 images|50
BM_KeystrokeToRepaint/|keystroke to repainted list|2000 clips|16
BM_FirstOpen/texts_200_prepared/|first open after start, prepared|2000 clips × 200 chars|16
BM_FirstOpen/texts_1000_prepared/|first open after start, prepared|2000 clips × 1000 chars|16
BM_FirstOpen/texts_100000_prepared/|first open after start, prepared|2000 clips × 100 000 chars|16
BM_FirstOpen/texts_200_unprepared/|  the same, unprepared|2000 clips × 200 chars|-
BM_FirstOpen/texts_1000_unprepared/|  the same, unprepared|2000 clips × 1000 chars|-
BM_FirstOpen/texts_100000_unprepared/|  the same, unprepared|2000 clips × 100 000 chars|-
BM_LongTextsPaletteOpen/|palette open (toggle to list on screen)|2000 clips × 100 000 chars|16
BM_TenThousandPaletteOpen/|palette open|10 000 clips × 200 chars|16
BM_LargeHistoryPaletteOpen/|palette open|50 000 clips × 200 B|16
BM_ShortTextsKeystroke/|key to its text painted (echo)|2000 clips × 200 chars|7|echo_median_ms
BM_LongTextsKeystroke/|key to its text painted (echo)|2000 clips × 100 000 chars|7|echo_median_ms
BM_LongTextsKeystroke/|keystroke to repainted list|2000 clips × 100 000 chars|150|key_median_ms
BM_LongTextsKeystroke/|  slowest key of "aguja"|2000 clips × 100 000 chars|50|key_max_ms
BM_LongTextsKeystroke/|  resident memory (MiB)|2000 clips × 100 000 chars|150|rss_MiB
BM_TenThousandKeystroke/|slowest key of "aguja"|10 000 clips × 200 chars|16|key_max_ms
BM_LargeHistoryKeystroke/|keystroke to repainted list|50 000 clips × 200 B|30|key_median_ms
BM_LargeHistoryKeystroke/|  slowest key of "aguja"|50 000 clips × 200 B|16|key_max_ms
BM_ShortTextsKeystroke/|CPU per search ("aguja" typed)|2000 clips × 200 chars|50|cpu_per_search_ms
BM_TenThousandKeystroke/|CPU per search ("aguja" typed)|10 000 clips × 200 chars|130|cpu_per_search_ms
BM_LargeHistoryStartToReady/|start to ready|50 000 clips × 200 B|300
BM_PreviewPhotoSetClip/|preview setClip (main thread)|4000 × 3000 PNG|16
BM_PreviewPhotoToPaint/|preview to painted picture|4000 × 3000 PNG|1500
BM_PreviewFilesToPaint/5000/|preview setClip to painted files|5 000 paths|300
BM_PreviewFilesToPaint/50000/|preview setClip to painted files|50 000 paths|300
BM_PreviewFilesToPaint/50000/|  memory while shown (MiB)|50 000 paths|20|shownMiB
BM_PreviewFilesToPaint/50000/|  memory after closing (MiB)|50 000 paths|20|heldMiB
BM_FilesRowPaint/|palette row of a files clip painted|50 000 paths|2
'

results=$(mktemp)
trap 'rm -f "$results"' EXIT
for program in store_bench model_bench palette_bench preview_bench; do
    "$build/bench/$program" --benchmark_color=false --benchmark_repetitions=3 \
        --benchmark_report_aggregates_only=true "$@" 2>/dev/null | grep '_median ' >>"$results" || true
done

# operation, size, value, goal ('-': none)
row() {
    local verdict=""
    [ "$4" != - ] && verdict=$(awk -v m="$3" -v g="$4" 'BEGIN { print (m <= g) ? "ok" : "missed" }')
    printf '%-40s %-28s %12s %10s  %s\n' "$1" "$2" "$3" "$4" "$verdict"
}

printf '%-40s %-28s %12s %10s  %s\n' "operation" "size" "median (ms)" "goal (ms)" ""
while IFS='|' read -r pattern operation size goal counter; do
    [ -z "$pattern" ] && continue
    line=$(grep "^$pattern" "$results" | head -n1 || true)
    [ -z "$line" ] && continue
    if [ -n "$counter" ]; then
        # counter=value with an SI prefix: 882.8m, 1.2k
        value=$(echo "$line" | grep -o "$counter=[^ ]*" | cut -d= -f2)
        [ -z "$value" ] && continue
        ms=$(awk -v v="$value" 'BEGIN {
            n = v + 0; p = substr(v, length(v)); f = 1
            if (p == "k") f = 1e3; else if (p == "M") f = 1e6; else if (p == "G") f = 1e9
            else if (p == "m") f = 1e-3; else if (p == "u") f = 1e-6; else if (p == "n") f = 1e-9
            printf "%.2f", n * f }')
    else
        # name  real-time unit  cpu-time unit  iterations …
        time=$(echo "$line" | awk '{print $2}')
        unit=$(echo "$line" | awk '{print $3}')
        ms=$(awk -v t="$time" -v u="$unit" 'BEGIN {
            f = (u == "ns") ? 1e-6 : (u == "us") ? 1e-3 : (u == "s") ? 1e3 : 1; printf "%.2f", t * f }')
    fi
    row "$operation" "$size" "$ms" "$goal"
done <<<"$goals"

if [ -z "${ORV_BENCH_NO_DESKTOP:-}" ]; then
    # `--toggle` starts a process before it hands over; the hot key does not. The fair bound is
    # the hot key's own path plus one frame: what --toggle adds (its start, the command and its
    # answer) has to fit in 16 ms. Without a hot key, a bare start of the program (--version)
    # stands in for it, so only the hand-over itself is held to the frame.
    latency=$(scripts/toggle-latency.sh 20 2>&1 || true)
    figure() { sed -n "s/^$1 median ms: //p" <<<"$latency"; }
    toggle=$(figure toggle)
    hot_key=$(figure "hot key")
    start=$(figure start)
    if [ -n "$toggle" ]; then
        if [ -n "$hot_key" ]; then
            row "hot key to palette mapped" "X11, openbox, 2000 × 200" "$hot_key" -
            reference=$hot_key
        else
            reference=$start
        fi
        row "process start (--version)" "X11, openbox" "$start" -
        row "--toggle to palette mapped" "X11, openbox, 2000 × 200" "$toggle" \
            "$(awk -v r="$reference" 'BEGIN { printf "%.2f", r + 16 }')"
    else
        echo "toggle latency: no figures: $(tail -n 3 <<<"$latency")"
    fi
    # A count, not a time: main-thread wake-ups of the idle program over 20 s.
    idle=$(scripts/idle-wakeups.sh 20 2>&1 || true)
    wakeups=$(sed -n 's/.*: \([0-9]*\) wake-ups of the main thread.*/\1/p' <<<"$idle")
    if [ -n "$wakeups" ]; then
        row "idle wake-ups in 20 s (count)" "X11, openbox" "$wakeups" 0
    else
        echo "idle wake-ups: no figure: $(tail -n 3 <<<"$idle")"
    fi
fi
echo
echo "Machine: $(nproc) cores, $(awk '/MemTotal/ {printf "%.0f GiB", $2 / 1048576}' /proc/meminfo),"\
     "$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
