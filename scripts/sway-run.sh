#!/usr/bin/env bash
# Runs a command inside a private headless Wayland session (sway, with XWayland when installed),
# with its own HOME and XDG folders, then tears everything down. Exits with the command's status.
#   scripts/sway-run.sh <command> [arguments…]
# sway refuses to run as root: as root, the compositor runs as the unprivileged user "orvsway"
# (created when missing) and the command stays root, reaching the compositor by socket path.
set -euo pipefail

work=$(mktemp -d -t orvantide-wayland.XXXXXX)
chmod 755 "$work"
sway_pid=""
cleanup() {
    [ -n "$sway_pid" ] && kill "$sway_pid" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

as_user=()
if [ "$(id -u)" -eq 0 ]; then
    user=orvsway
    if ! id -u "$user" >/dev/null 2>&1; then
        useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin "$user"
    fi
    as_user=(setpriv --reuid="$user" --regid="$user" --init-groups --reset-env --)
fi

# The compositor's runtime folder holds its socket; the command gets a folder of its own.
compositor_runtime="$work/compositor-runtime"
mkdir -p "$compositor_runtime"
chmod 700 "$compositor_runtime"
[ ${#as_user[@]} -eq 0 ] || chown orvsway: "$compositor_runtime"

cat >"$work/sway.conf" <<EOF
xwayland enable
output HEADLESS-1 resolution 1280x800
exec sh -c 'xhost +si:localuser:$(id -un) >/dev/null 2>&1; printf "%s\n" "\$DISPLAY" > $compositor_runtime/display'
EOF

"${as_user[@]}" env XDG_RUNTIME_DIR="$compositor_runtime" HOME="$compositor_runtime" \
    PATH=/usr/local/bin:/usr/bin:/bin WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 \
    WLR_RENDERER=pixman WLR_HEADLESS_OUTPUTS=1 \
    sway --config "$work/sway.conf" >"$work/sway.log" 2>&1 &
sway_pid=$!

socket=""
for _ in $(seq 1 200); do
    socket=$(find "$compositor_runtime" -maxdepth 1 -name 'wayland-*' -type s 2>/dev/null | head -n1)
    [ -n "$socket" ] && [ -s "$compositor_runtime/display" ] && break
    if ! kill -0 "$sway_pid" 2>/dev/null; then
        break
    fi
    sleep 0.05
done
if [ -z "$socket" ]; then
    echo "sway-run.sh: sway did not start" >&2
    cat "$work/sway.log" >&2
    exit 1
fi

export WAYLAND_DISPLAY="$socket"
display=$(head -n1 "$compositor_runtime/display" 2>/dev/null || true)
if [ -n "$display" ]; then
    export DISPLAY="$display"
else
    unset DISPLAY
fi
export XDG_SESSION_TYPE=wayland
export SWAYSOCK=$(find "$compositor_runtime" -maxdepth 1 -name 'sway-ipc.*' -type s | head -n1)

export HOME="$work/home"
export XDG_CONFIG_HOME="$HOME/.config"
export XDG_DATA_HOME="$HOME/.local/share"
export XDG_CACHE_HOME="$HOME/.cache"
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"

status=0
"$@" || status=$?
exit "$status"
