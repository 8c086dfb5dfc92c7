#!/usr/bin/env bash
# Runs a command on a private X server (Xvfb) with a real window manager (openbox), with its own
# HOME and XDG folders, then tears everything down. Exits with the command's status.
#   scripts/xvfb-run.sh <command> [arguments…]
# With ORV_XVFB_NO_TRAY=1 the display has no system tray (the command may start one later).
set -euo pipefail

work=$(mktemp -d -t orvantide-x11.XXXXXX)
xvfb_pid=""
wm_pid=""
tray_pid=""
cleanup() {
    [ -n "$tray_pid" ] && kill "$tray_pid" 2>/dev/null || true
    [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# Xvfb picks a free display and writes its number to the file.
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 1 100); do
    [ -s "$work/display" ] && break
    sleep 0.05
done
if [ ! -s "$work/display" ]; then
    echo "xvfb-run.sh: Xvfb did not start" >&2
    cat "$work/xvfb.log" >&2
    exit 1
fi
export DISPLAY=":$(head -n1 "$work/display")"

export HOME="$work/home"
export XDG_CONFIG_HOME="$HOME/.config"
export XDG_DATA_HOME="$HOME/.local/share"
export XDG_CACHE_HOME="$HOME/.cache"
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
export QT_QPA_PLATFORM=xcb

openbox --sm-disable >"$work/openbox.log" 2>&1 &
wm_pid=$!
# The window manager is ready once it announces itself on the root window.
for _ in $(seq 1 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.05
done

# A system tray, so that tray icons have somewhere to live.
if [ -z "${ORV_XVFB_NO_TRAY:-}" ] && command -v trayer >/dev/null; then
    trayer --edge top --align right --widthtype pixel --width 96 --height 24 \
        --SetDockType true --transparent false >"$work/trayer.log" 2>&1 &
    tray_pid=$!
    sleep 0.3
fi

status=0
"$@" || status=$?
exit "$status"
