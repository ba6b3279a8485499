#!/bin/sh
# Installs what is needed, builds and starts the program on a throw-away
# home folder.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
build=${BUILD_DIR:-build}
home=$(mktemp -d /tmp/quorvamel-demo.XXXXXX)
echo "Demo home folder: $home"
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    echo "No display: running under Xvfb (xvfb-run -a)." >&2
    exec env HOME="$home" xvfb-run -a "$build/bin/quorvamel"
fi
exec env HOME="$home" "$build/bin/quorvamel"
