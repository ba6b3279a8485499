#!/bin/sh
# Configures and builds into ./build (or $BUILD_DIR).
set -eu
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
# QUORVAMEL_WERROR=1 (CI) turns every compiler warning into an error.
werror=OFF
[ "${QUORVAMEL_WERROR:-0}" = 1 ] && werror=ON
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_COMPILE_WARNING_AS_ERROR="$werror" >/dev/null
cmake --build "$build"
