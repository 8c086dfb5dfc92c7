#!/usr/bin/env bash
# Installs the Debian packages Orvantide needs (only those missing), then configures and builds.
# Safe to run again at any time. BUILD_DIR (default: build) chooses the build folder;
# `--packages-only` stops after the packages (for scripts that configure their own folder), and
# EXTRA_PACKAGES names more packages those scripts need.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
    build-essential cmake ninja-build pkg-config python3
    qt6-base-dev qt6-image-formats-plugins qt6-translations-l10n libqt6svg6 qt6-svg-dev qcoro-qt6-dev
    libsqlite3-dev libx11-dev libxtst-dev libxi-dev libxcb1-dev
    libgtest-dev libgmock-dev googletest libbenchmark-dev
    xvfb openbox trayer xclip xdotool x11-utils x11-xkb-utils desktop-file-utils
    xterm rxvt-unicode stterm xfce4-terminal
    libwayland-dev libxkbcommon-dev sway xwayland wl-clipboard x11-xserver-utils
    dbus-daemon libglib2.0-bin gnome-settings-daemon-common qt6-wayland dpkg-dev file appstream
    kwin-wayland xdg-desktop-portal xdg-desktop-portal-kde libkf5globalaccel-bin qtwayland5 mutter weston
    python3-xlib python3-gi gir1.2-glib-2.0 clang-format at-spi2-core python3-pyatspi gir1.2-atspi-2.0
    bash-completion fish zsh lintian man-db
)
read -r -a extra <<<"${EXTRA_PACKAGES:-}"
packages+=("${extra[@]}")
missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'ok installed'; then
        missing+=("$package")
    fi
done
if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    export DEBIAN_FRONTEND=noninteractive
    "${sudo[@]}" apt-get update -qq
    "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

if [ "${1:-}" = "--packages-only" ]; then
    exit 0
fi

build=${BUILD_DIR:-build}
options=()
[ -f "$build/CMakeCache.txt" ] || options+=(-G Ninja)
# CI builds with warnings as errors, whatever an earlier configure of the folder chose.
if [ -n "${CI:-}" ] && [ "${CI}" != "false" ]; then
    options+=(-DORV_WARNINGS_AS_ERRORS=ON)
fi
cmake -S . -B "$build" "${options[@]}"
cmake --build "$build"
