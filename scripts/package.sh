#!/usr/bin/env bash
# Builds the Debian package: installs what is missing, makes a Release build of the program alone
# (no tests, no benchmarks) in its own folder, runs CPack and prints the path of the .deb.
# PACKAGE_BUILD_DIR (default: build-package) chooses the folder. Safe to run again.
set -euo pipefail
cd "$(dirname "$0")/.."

# CPack finds the libraries the package depends on with dpkg-shlibdeps (dpkg-dev), after telling
# the programs from the other files with file.
EXTRA_PACKAGES="${EXTRA_PACKAGES:-} dpkg-dev file" ./scripts/setup.sh --packages-only

build=${PACKAGE_BUILD_DIR:-build-package}
options=()
[ -f "$build/CMakeCache.txt" ] || options+=(-G Ninja)
# Debian's hardening flags, all of them (bindnow, fortify, stack protector, PIE, …).
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
cflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CFLAGS)"
# A private library goes in the architecture's folder, as Debian's own builds put it (the library
# folder itself would have the package run ldconfig).
cmake -S . -B "$build" "${options[@]}" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_LIBDIR="lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)" \
    -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_C_FLAGS="$cflags" \
    -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" \
    -DCMAKE_SHARED_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" \
    -DORV_BUILD_TESTS=OFF -DORV_BUILD_BENCHMARKS=OFF -DORV_BUILD_FUZZERS=OFF -DORV_SANITIZE=OFF
cmake --build "$build"
# An earlier package of another version would otherwise be printed too.
rm -f "$build"/orvantide_*.deb
(cd "$build" && cpack -G DEB)
deb=$(ls "$build"/orvantide_*.deb)
realpath "$deb"
