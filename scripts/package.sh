#!/usr/bin/env bash
# Builds the Debian package of Folioset in Release into ./build-package (or $BUILD_DIR), checks
# it with lintian, and prints where it is: folioset_VERSION_ARCHITECTURE.deb.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build-package}"
"$root/scripts/install-deps.sh"

# Debian's own compiler and linker flags: fortified functions, stack protector, read-only
# relocations bound at start-up.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
LDFLAGS="$(dpkg-buildflags --get LDFLAGS)"
export CXXFLAGS LDFLAGS
launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
    -DCMAKE_INSTALL_PREFIX=/usr "${launcher[@]}" >/dev/null
cmake --build "$build" -j"$(nproc)"
rm -f "$build"/folioset_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/folioset_*.deb)
lintian --fail-on error --info "$deb"
echo "$deb"
