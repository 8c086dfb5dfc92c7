#!/usr/bin/env bash
# Starts the unpacked program as a desktop launcher does: through D-Bus activation on a private
# session bus whose only service is the package's, then runs each action of its desktop entry.
# Needs a display: check-package.sh runs it under scripts/xvfb-run.sh.
#   tests/package/activate-package.sh <unpacked package root>
set -euo pipefail
root=$(realpath "$1")
name=com.quarnelbrisk.orvantide
object=/com/quarnelbrisk/orvantide
share=$root/usr/share
desktop=$share/applications/$name.desktop

work=$(mktemp -d -t orvantide-activation.XXXXXX)
bus_pid=""
program=""
cleanup() {
    [ -n "$program" ] && kill "$program" 2>/dev/null || true
    [ -n "$bus_pid" ] && kill "$bus_pid" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
# Waits up to 30 s (the machine may be loaded) for a command to succeed.
eventually() {
    for _ in $(seq 1 300); do
        "$@" >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    return 1
}
visible_window_named() {
    xdotool search --onlyvisible --pid "$program" --name "$1" | grep -q .
}

# The installed service file names /usr/bin/orvantide, which check-package.sh has checked is the
# package's own binary. Unpacked, that binary lives under $root: the bus gets a copy of the file
# whose Exec path is the same path under $root.
mkdir "$work/services"
sed "s|^Exec=/|Exec=$root/|" "$share/dbus-1/services/$name.service" >"$work/services/$name.service"
cat >"$work/bus.conf" <<EOF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=$work</listen>
  <servicedir>$work/services</servicedir>
  <limit name="service_start_timeout">120000</limit>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
EOF
dbus-daemon --config-file="$work/bus.conf" --nofork --print-address=3 \
    3>"$work/address" 2>"$work/bus.log" &
bus_pid=$!
if ! eventually test -s "$work/address"; then
    echo "FAIL: the private session bus did not start" >&2
    cat "$work/bus.log" >&2
    exit 1
fi
DBUS_SESSION_BUS_ADDRESS=$(head -n1 "$work/address")
export DBUS_SESSION_BUS_ADDRESS

# What a launcher of a D-Bus activatable entry sends; the bus has to start the program for it.
if ! gdbus call --session --timeout 120 --dest "$name" --object-path "$object" \
    --method org.freedesktop.Application.Activate '{}' >"$work/activate.log" 2>&1; then
    echo "FAIL: Activate through D-Bus: $(cat "$work/activate.log")" >&2
    cat "$work/bus.log" >&2
    exit 1
fi
program=$(gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
    --method org.freedesktop.DBus.GetConnectionUnixProcessID "$name" |
    sed -E 's/.*uint32 ([0-9]+).*/\1/')
[ "$(readlink -f "/proc/$program/exe")" = "$root/usr/bin/orvantide" ] ||
    fail "the bus started $(readlink -f "/proc/$program/exe"), not the unpacked program"
answer=$(gdbus call --session --timeout 60 --dest "$name" --object-path "$object" \
    --method com.quarnelbrisk.orvantide.Commands.Run '["list"]' "b''") ||
    fail "Commands.Run list failed"
[[ $answer == "(0,"* ]] || fail "Commands.Run list answered $answer"

# Docks match windows to the entry by their class.
eventually xdotool search --onlyvisible --pid "$program" || fail "no window after Activate"
wm_class=$(sed -n 's/^StartupWMClass=//p' "$desktop")
for window in $(xdotool search --pid "$program"); do
    class=$(xprop -id "$window" WM_CLASS | sed -n -E 's/^WM_CLASS\(STRING\) = "[^"]*", "([^"]*)"$/\1/p')
    if [ -n "$class" ] && [ "$class" != "$wm_class" ]; then
        fail "window $window has class $class, the desktop entry says StartupWMClass=$wm_class"
    fi
done

# Each action of the desktop entry is one the program serves, as GLib's launchers ask for it.
read -r -a actions < <(sed -n 's/^Actions=//p' "$desktop" | tr ';' ' ')
((${#actions[@]})) || fail "the desktop entry has no actions"
for action in "${actions[@]}"; do
    PATH="$root/usr/bin:$PATH" XDG_DATA_DIRS="$share" \
        gapplication action "$name" "$action" >"$work/action.log" 2>&1 ||
        fail "action $action: $(cat "$work/action.log")"
done
if [[ " ${actions[*]} " == *" preferences "* ]]; then
    eventually visible_window_named '^Preferencias$' || fail "no \"Preferencias\" window"
fi
PATH="$root/usr/bin:$PATH" XDG_DATA_DIRS="$share" \
    gapplication action "$name" no-such-action >/dev/null 2>&1 &&
    fail "an unknown action was accepted"

kill -TERM "$program"
eventually sh -c "! kill -0 $program" || fail "the program did not quit on SIGTERM"
program=""

if ((failures)); then
    cat "$work/bus.log" >&2
    exit 1
fi
echo "activated through D-Bus: ${actions[*]}"
