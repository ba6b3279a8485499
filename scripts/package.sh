#!/bin/sh
# Builds a Release Debian package of Quorvamel into ./build-package
# (or $BUILD_DIR): build-package/quorvamel_<version>_<arch>.deb.
# Needs cmake, ninja, g++, qt6-base-dev and dpkg-dev (dpkg-shlibdeps
# computes the library dependencies); scripts/install-deps.sh has them.
set -eu
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build-package}
jobs=${JOBS:-2}

# Tests, benches and the demo are not part of the package; leaving them
# out keeps the build short. CPack's install step then only needs the
# programs, so the install rule does not drag in "all".
cmake -S . -B "$build" -G Ninja \
    -DCMAKE_BUILD_TYPE=Release \
    -DBUILD_TESTING=OFF \
    -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON >/dev/null
cmake --build "$build" -j "$jobs" --target quorvamel quorvamel-check quorvamel_template quorvamel_help

rm -f "$build"/quorvamel_*.deb
(cd "$build" && cpack -G DEB)
deb=$(ls "$build"/quorvamel_*.deb)
echo "package: $deb ($(stat -c %s "$deb") bytes)"
dpkg-deb --field "$deb" Package Version Architecture Depends Recommends
dpkg-deb --contents "$deb"
