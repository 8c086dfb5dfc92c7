#!/usr/bin/env bash
# Builds the Debian package with scripts/package.sh in the given folder, unpacks it into an empty
# root and checks what a user would get from installing it.
#   tests/package/check-package.sh <build folder> <version>
set -euo pipefail
build=$1
version=$2
source=$(cd "$(dirname "$0")/../.." && pwd)

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# appstreamcli validates the metadata, lintian the package; desktop-file-validate comes with the
# project's packages.
deb=$(EXTRA_PACKAGES="appstream lintian" PACKAGE_BUILD_DIR="$build" "$source/scripts/package.sh" |
    tee /dev/stderr | tail -n1)
arch=$(dpkg --print-architecture)
[ "$(basename "$deb")" = "orvantide_${version}_${arch}.deb" ] ||
    fail "package file is $deb, not orvantide_${version}_${arch}.deb"

root=$(mktemp -d -t orvantide-package.XXXXXX)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"

[ "$(dpkg-deb -f "$deb" Package)" = orvantide ] || fail "package name"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version"
[ "$(dpkg-deb -f "$deb" Section)" = utils ] || fail "section"
# Found by dpkg-shlibdeps from the binary, and Qt's run-time plug-ins named by hand.
depends=$(dpkg-deb -f "$deb" Depends)
for library in libqt6core6 libqt6gui6 libqt6widgets6 libqt6network6 libqt6dbus6 libqt6svg6 \
    qt6-image-formats-plugins libsqlite3-0 libx11-6; do
    [[ ", $depends," == *", $library "* || ", $depends," == *", $library,"* ]] ||
        fail "Depends lacks $library: $depends"
done

share=$root/usr/share
[ -x "$root/usr/bin/orvantide" ] || fail "no executable usr/bin/orvantide"
# The program itself, a private library the executable loads (and links nothing of Qt itself).
library=usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/orvantide/liborvantide-program.so
[ -f "$root/$library" ] || fail "no $library"
if readelf --dynamic "$root/usr/bin/orvantide" | grep -q 'NEEDED.*libQt'; then
    fail "usr/bin/orvantide links Qt itself"
fi
desktop=$share/applications/com.quarnelbrisk.orvantide.desktop
metainfo=$share/metainfo/com.quarnelbrisk.orvantide.metainfo.xml
[ -f "$desktop" ] || fail "no desktop entry"
[ -f "$metainfo" ] || fail "no metainfo"
[ -f "$share/icons/hicolor/scalable/apps/com.quarnelbrisk.orvantide.svg" ] || fail "no SVG icon"
[ -f "$share/icons/hicolor/symbolic/apps/com.quarnelbrisk.orvantide-symbolic.svg" ] ||
    fail "no symbolic icon"
for side in 16 24 32 48 64 128 256; do
    png=$share/icons/hicolor/${side}x${side}/apps/com.quarnelbrisk.orvantide.png
    if [ ! -f "$png" ]; then
        fail "no ${side}x${side} PNG icon"
        continue
    fi
    # Width and height, big-endian, right after the PNG signature and the IHDR header.
    read -r w0 w1 w2 w3 h0 h1 h2 h3 < <(od -An -tu1 -j16 -N8 "$png")
    width=$(((w0 << 24) | (w1 << 16) | (w2 << 8) | w3))
    height=$(((h0 << 24) | (h1 << 16) | (h2 << 8) | h3))
    [[ $width == "$side" && $height == "$side" ]] ||
        fail "${side}x${side} icon is ${width}x${height}"
done
# A desktop entry that the session bus activates needs its service file beside it, naming the
# program where the package puts it: the bus runs that path as it is written.
service=$share/dbus-1/services/com.quarnelbrisk.orvantide.service
if ls "$source"/data/*.service >/dev/null 2>&1 || grep -q '^DBusActivatable=true' "$desktop"; then
    if [ -f "$service" ]; then
        [ "$(sed -n 's/^Name=//p' "$service")" = "$(basename "$desktop" .desktop)" ] ||
            fail "the service file's Name is not the desktop entry's name"
        service_exec=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$service")
        [[ $service_exec == /* && -x "$root$service_exec" && -f "$root$service_exec" ]] ||
            fail "the service file runs '$service_exec', which the package does not install"
    else
        fail "no D-Bus service file"
    fi
fi
# Every command of the desktop entry and its actions: the package's own program, or one from a
# package it depends on. GLib ignores an entry whose program is not found.
while read -r command; do
    program=${command%% *}
    if [[ $program == /* ]]; then
        [ -x "$root$program" ] || fail "the desktop entry runs $program, which is not in the package"
    elif [ ! -x "$root/usr/bin/$program" ]; then
        owner=$(dpkg-query -S "/usr/bin/$program" 2>/dev/null | cut -d: -f1) ||
            fail "the desktop entry runs $program, found neither in the package nor the system"
        [[ -z $owner || ", $depends," == *", $owner"[\ ,]* ]] ||
            fail "the desktop entry runs $program from $owner, which Depends lacks: $depends"
    fi
done < <(sed -n 's/^Exec=//p' "$desktop")
[ -f "$share/icons/hicolor/scalable/apps/$(sed -n 's/^Icon=//p' "$desktop").svg" ] ||
    fail "the desktop entry's Icon is not the package's icon"
# The actions as GLib's launchers read them ("Abrir el historial", "Preferencias").
listed=$(PATH="$root/usr/bin:$PATH" XDG_DATA_DIRS="$share" \
    gapplication list-actions com.quarnelbrisk.orvantide | sort | xargs) ||
    fail "gapplication list-actions"
declared=$(sed -n 's/^Actions=//p' "$desktop" | tr ';' '\n' | sed '/^$/d' | sort | xargs)
[[ -n $listed && $listed == "$declared" ]] ||
    fail "gapplication list-actions gives '$listed', the entry declares '$declared'"
grep -q '^StartupWMClass=' "$desktop" || fail "the desktop entry has no StartupWMClass"
# Started as a launcher starts it, from the unpacked files (activate-package.sh checks the windows'
# class and the actions against the running program).
"$source/scripts/xvfb-run.sh" "$source/tests/package/activate-package.sh" "$root" ||
    fail "D-Bus activation of the unpacked program"
# Installed elsewhere, the service file names that binary instead.
elsewhere=$(mktemp -d -t orvantide-install.XXXXXX)
trap 'rm -rf "$root" "$elsewhere"' EXIT
DESTDIR="$elsewhere" cmake --install "$build" --prefix /opt/orvantide >/dev/null ||
    fail "cmake --install --prefix /opt/orvantide"
grep -qx 'Exec=/opt/orvantide/bin/orvantide --service' \
    "$elsewhere/opt/orvantide/share/dbus-1/services/com.quarnelbrisk.orvantide.service" ||
    fail "installed under /opt/orvantide, the service file does not run /opt/orvantide/bin/orvantide"
[ -x "$elsewhere/opt/orvantide/bin/orvantide" ] || fail "no /opt/orvantide/bin/orvantide"
[ "$("$elsewhere/opt/orvantide/bin/orvantide" --version)" = "Orvantide $version" ] ||
    fail "installed under /opt/orvantide, the program does not find its library"

# The unpacked program runs against the system's libraries.
printed=$("$root/usr/bin/orvantide" --version) || fail "--version failed"
[ "$printed" = "Orvantide $version" ] || fail "--version printed '$printed'"
help=$("$root/usr/bin/orvantide" --help) || fail "--help failed"
[[ $help == *"--toggle"* ]] || fail "--help printed '$help'"

grep -q "<release version=\"$version\"" "$metainfo" ||
    fail "the metainfo has no release $version"
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli validate"
# The tree as installed: the launchable names a desktop entry that is there.
appstreamcli validate-tree --no-net "$root" || fail "appstreamcli validate-tree"
desktop-file-validate "$desktop" || fail "desktop-file-validate"
for completion in bash-completion/completions/orvantide zsh/vendor-completions/_orvantide \
    fish/vendor_completions.d/orvantide.fish; do
    [ -f "$share/$completion" ] || fail "no shell completion $completion"
done
# The manual page as `man` shows it, with every subcommand the help lists.
page=$(MANWIDTH=100 man -l "$share/man/man1/orvantide.1.gz" 2>/dev/null) || fail "man orvantide"
for command in $(sed -n '/^Órdenes/,/^[^ ]/s/^  \([a-z]\+\).*/\1/p' <<<"$help"); do
    grep -q "^       $command" <<<"$page" || fail "the manual page lacks the subcommand $command"
done
for section in "ESTADO DE SALIDA" ARCHIVOS ENTORNO; do
    grep -qx "$section" <<<"$page" || fail "the manual page has no section $section"
done
# What Debian checks of every package: no error and no warning.
lintian --fail-on error,warning "$deb" || fail "lintian"

if ((failures)); then
    echo "$failures check(s) failed for $deb" >&2
    exit 1
fi
echo "package checked: $deb"
