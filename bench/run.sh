#!/bin/sh
# Builds the check tool and the throughput benchmark (release build) and
# runs it; extra arguments go to check_throughput (e.g. --runs 5).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BENCH_BUILD_DIR:-$root/build-bench}
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target quorvamel-check check_throughput -j2
exec "$build/bin/check_throughput" "$@"
