#!/usr/bin/env bash
# Runs a command inside a private Wayland session of one of the compositors Debian ships, with its
# own HOME and XDG folders, then tears everything down. Exits with the command's status.
#   scripts/compositor-run.sh [--compositor sway|kwin|mutter|weston] <command> [arguments…]
# sway (the default) must start; another compositor that cannot start on this machine makes the
# run a skip: one line says why and the exit status is 77.
# Compositors refuse to run as root: as root, the compositor runs as the unprivileged user
# "orvsway" (created when missing) and the command stays root, reaching it by socket path.
# Weston draws into a private Xvfb of its own (its X11 backend); keys typed there with xdotool reach
# it, and the command finds that outer display in ORV_OUTER_DISPLAY.
# KWin and Mutter get a session bus of the run's own, which the compositor, the desktop's own
# services (started by the bus: the real xdg-desktop-portal and its backends) and the command
# share; the command finds it in DBUS_SESSION_BUS_ADDRESS.
set -euo pipefail

scripts=$(cd "$(dirname "$0")" && pwd)
compositor=sway
if [ "${1:-}" = "--compositor" ]; then
    compositor=$2
    shift 2
fi

work=$(mktemp -d -t "orvantide-$compositor.XXXXXX")
chmod 755 "$work"
pids=()
bus_pid=""
outer_pid=""
cleanup() {
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    [ -n "$bus_pid" ] && kill "$bus_pid" 2>/dev/null || true
    if [ -n "$outer_pid" ]; then
        # Weston draws into it: it goes once Weston is gone.
        wait "${pids[@]}" 2>/dev/null || true
        kill "$outer_pid" 2>/dev/null || true
    fi
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# A compositor that this machine cannot run: a skip, except for the reference compositor.
cannot_start() {
    if [ "$compositor" = sway ]; then
        echo "compositor-run.sh: sway did not start: $1" >&2
        exit 1
    fi
    echo "compositor-run.sh: $compositor cannot start on this machine ($1); skipped" >&2
    exit 77
}

as_user=()
user=$(id -un)
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
chown "$user": "$compositor_runtime"
# XWayland's sockets; a fresh container may lack the folder.
mkdir -p /tmp/.X11-unix 2>/dev/null && chmod 1777 /tmp/.X11-unix 2>/dev/null || true

export HOME="$work/home"
export XDG_CONFIG_HOME="$HOME/.config"
export XDG_DATA_HOME="$HOME/.local/share"
export XDG_CACHE_HOME="$HOME/.cache"
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"

compositor_env=(env XDG_RUNTIME_DIR="$compositor_runtime" HOME="$compositor_runtime"
    PATH=/usr/local/bin:/usr/bin:/bin)

# Started inside the session once XWayland is up: lets the command's user in and says the display.
announce="$work/announce.sh"
cat >"$announce" <<EOF
xhost +si:localuser:$(id -un) >/dev/null 2>&1
printf '%s\n' "\$DISPLAY" > $compositor_runtime/display
EOF

# A bus that every user of the run may reach, with the installed services for activation.
start_bus() {
    cat >"$work/bus.conf" <<EOF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=$work</listen>
  <auth>EXTERNAL</auth>
  <standard_session_servicedirs/>
  <policy context="default">
    <allow user="*"/>
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
EOF
    local info
    info=$(dbus-daemon --config-file="$work/bus.conf" --fork --print-address=1 --print-pid=1) ||
        cannot_start "no session bus"
    DBUS_SESSION_BUS_ADDRESS=$(sed -n 1p <<<"$info")
    bus_pid=$(sed -n 2p <<<"$info")
    export DBUS_SESSION_BUS_ADDRESS
    compositor_env+=(DBUS_SESSION_BUS_ADDRESS="$DBUS_SESSION_BUS_ADDRESS")
}

start_sway() {
    command -v sway >/dev/null || cannot_start "sway is not installed"
    cat >"$work/sway.conf" <<EOF
xwayland enable
output HEADLESS-1 resolution 1280x800
exec sh $announce
EOF
    "${as_user[@]}" "${compositor_env[@]}" WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 \
        WLR_RENDERER=pixman WLR_HEADLESS_OUTPUTS=1 \
        sway --config "$work/sway.conf" >"$work/compositor.log" 2>&1 &
    pids+=($!)
    export XDG_CURRENT_DESKTOP=sway
}

start_kwin() {
    local kwin
    kwin=$(command -v kwin_wayland) || cannot_start "kwin_wayland is not installed"
    command -v Xwayland >/dev/null || cannot_start "Xwayland is not installed"
    # Debian's binary carries cap_sys_resource, which a container may refuse: a plain copy has none.
    cp "$kwin" "$work/kwin_wayland"
    start_bus
    "${as_user[@]}" "${compositor_env[@]}" QT_QPA_PLATFORM=offscreen XDG_CURRENT_DESKTOP=KDE \
        KDE_FULL_SESSION=true KDE_SESSION_VERSION=5 \
        "$work/kwin_wayland" --virtual --xwayland --socket wayland-orv --width 1280 --height 800 \
        "sh -c 'sh $announce; exec sleep infinity'" >"$work/compositor.log" 2>&1 &
    pids+=($!)
    export XDG_CURRENT_DESKTOP=KDE KDE_FULL_SESSION=true KDE_SESSION_VERSION=5
}

start_mutter() {
    command -v mutter >/dev/null || cannot_start "mutter is not installed"
    command -v Xwayland >/dev/null || cannot_start "Xwayland is not installed"
    start_bus
    # Mutter starts XWayland before the command it is given, which announces its display.
    "${as_user[@]}" "${compositor_env[@]}" XDG_CURRENT_DESKTOP=GNOME \
        mutter --headless --wayland --virtual-monitor 1280x800 --wayland-display wayland-orv \
        -- sh -c "sh $announce; exec sleep infinity" >"$work/compositor.log" 2>&1 &
    pids+=($!)
    export XDG_CURRENT_DESKTOP=GNOME
}

# Weston 10 runs no command given to it; weston.ini's autolaunch entry starts one inside the session,
# where DISPLAY names Weston's XWayland.
start_weston() {
    command -v weston >/dev/null || cannot_start "weston is not installed"
    command -v Xwayland >/dev/null || cannot_start "Xwayland is not installed"
    command -v Xvfb >/dev/null || cannot_start "Xvfb is not installed"
    Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/outer-display" \
        2>"$work/outer.log" &
    outer_pid=$!
    for _ in $(seq 1 200); do
        [ -s "$work/outer-display" ] && break
        sleep 0.05
    done
    [ -s "$work/outer-display" ] || cannot_start "its Xvfb did not start"
    ORV_OUTER_DISPLAY=":$(head -n1 "$work/outer-display")"
    export ORV_OUTER_DISPLAY
    DISPLAY=$ORV_OUTER_DISPLAY xhost "+si:localuser:$user" >/dev/null
    cat >"$work/autolaunch.sh" <<EOF
#!/bin/sh
exec sh $announce
EOF
    chmod 755 "$work/autolaunch.sh"
    cat >"$work/weston.ini" <<EOF
[core]
xwayland=true
idle-time=0
[shell]
panel-position=none
[autolaunch]
path=$work/autolaunch.sh
EOF
    "${as_user[@]}" "${compositor_env[@]}" DISPLAY="$ORV_OUTER_DISPLAY" \
        weston --backend=x11-backend.so --xwayland --socket=wayland-orv --width=1280 \
        --height=800 --config="$work/weston.ini" >"$work/compositor.log" 2>&1 &
    pids+=($!)
    export XDG_CURRENT_DESKTOP=weston
}

case "$compositor" in
sway | kwin | mutter | weston) "start_$compositor" ;;
*)
    echo "compositor-run.sh: unknown compositor $compositor" >&2
    exit 2
    ;;
esac

socket=""
for _ in $(seq 1 400); do
    socket=$(find "$compositor_runtime" -maxdepth 1 -name 'wayland-*' -type s 2>/dev/null | head -n1)
    [ -n "$socket" ] && [ -s "$compositor_runtime/display" ] && break
    kill -0 "${pids[0]}" 2>/dev/null || break
    sleep 0.05
done
if [ -z "$socket" ] || [ ! -s "$compositor_runtime/display" ]; then
    cat "$work/compositor.log" >&2
    cannot_start "no Wayland socket and XWayland display within 20 s"
fi

# Mutter's headless seat has no keyboard until a remote-desktop session of its own makes one; a
# Wayland client that needs the keyboard focus (wl-copy) fails without.
if [ "$compositor" = mutter ]; then
    "${as_user[@]}" "${compositor_env[@]}" /usr/bin/python3 "$scripts/mutter-keyboard.py" \
        >"$work/keyboard" 2>&1 &
    pids+=($!)
    for _ in $(seq 1 400); do
        grep -q '^ready' "$work/keyboard" 2>/dev/null && break
        kill -0 "${pids[-1]}" 2>/dev/null || break
        sleep 0.05
    done
    grep -q '^ready' "$work/keyboard" || cannot_start "no keyboard: $(cat "$work/keyboard")"
fi

export WAYLAND_DISPLAY="$socket"
DISPLAY=$(head -n1 "$compositor_runtime/display")
export DISPLAY
export XDG_SESSION_TYPE=wayland
if [ "$compositor" = sway ]; then
    SWAYSOCK=$(find "$compositor_runtime" -maxdepth 1 -name 'sway-ipc.*' -type s | head -n1)
    export SWAYSOCK
fi
if [ -n "$bus_pid" ]; then
    # Services the bus starts from now on reach this session.
    gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
        --method org.freedesktop.DBus.UpdateActivationEnvironment \
        "{'WAYLAND_DISPLAY': '$WAYLAND_DISPLAY', 'DISPLAY': '$DISPLAY', 'HOME': '$HOME',
          'XDG_RUNTIME_DIR': '$XDG_RUNTIME_DIR', 'XDG_CONFIG_HOME': '$XDG_CONFIG_HOME',
          'XDG_DATA_HOME': '$XDG_DATA_HOME', 'XDG_CACHE_HOME': '$XDG_CACHE_HOME',
          'XDG_SESSION_TYPE': 'wayland', 'XDG_CURRENT_DESKTOP': '$XDG_CURRENT_DESKTOP'}" >/dev/null
fi

status=0
"$@" || status=$?
exit "$status"
