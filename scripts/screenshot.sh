#!/bin/sh
# Takes a picture of the window under Xvfb after two demo checks (the first
# check's mail marked seen, one new message since): OUTPUT, default
# /tmp/quorvamel-demo.png. Needs a build (scripts/build.sh).
set -eu
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
exec xvfb-run -a "$build/bin/quorvamel-demo-shot" "${1:-/tmp/quorvamel-demo.png}"
