#!/bin/sh
# Installs what is needed, builds and runs every test. The Dovecot tests
# start and stop their own servers.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
build=${BUILD_DIR:-build}
ctest --test-dir "$build" --output-on-failure -j2
