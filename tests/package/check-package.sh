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

# appstreamcli validates the metadata; desktop-file-validate comes with the project's packages.
deb=$(EXTRA_PACKAGES=appstream PACKAGE_BUILD_DIR="$build" "$source/scripts/package.sh" |
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
# A desktop entry that the session bus activates needs its service file beside it.
if ls "$source"/data/*.service >/dev/null 2>&1 || grep -q '^DBusActivatable=true' "$desktop"; then
    [ -f "$share/dbus-1/services/com.quarnelbrisk.orvantide.service" ] ||
        fail "no D-Bus service file"
fi

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

if ((failures)); then
    echo "$failures check(s) failed for $deb" >&2
    exit 1
fi
echo "package checked: $deb"
