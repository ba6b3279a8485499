#!/bin/sh
# Builds the programs and the benchmarks (release build), runs every
# benchmark in turn, each against its own private Dovecot where it needs a
# server, and closes with one table of the figures, their targets and
# baselines. Exit status 0 when every target is met.
#
#   bench/run.sh [--runs N] [--seconds N]
#     --runs N     runs per point of the timed benchmarks (fastest counts;
#                  at least 7 for the RETR benchmark)
#     --seconds N  length of the idle stretch of the window program
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BENCH_BUILD_DIR:-$root/build-bench}
runs=3
seconds=20
while [ $# -gt 0 ]; do
    case $1 in
    --runs) runs=$2; shift 2 ;;
    --seconds) seconds=$2; shift 2 ;;
    *) echo "usage: $0 [--runs N] [--seconds N]" >&2; exit 2 ;;
    esac
done

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 --target quorvamel quorvamel-check check_throughput raw_retr \
    peak_launcher retr_memory pipeline_memory match_scaling mail_list_fill idle_cpu latency

bin=$build/bin
out=$(mktemp)
runtime=$(mktemp -d)
trap 'rm -rf "$out" "$runtime"' EXIT
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$runtime"
echo "machine: $(nproc) cores, load average at start: $(cut -d' ' -f1-3 /proc/loadavg)"
status=0
step() {
    echo
    echo "== $1"
    shift
    "$@" 2>&1 | tee -a "$out" || true
}
step "D6.1 check throughput, TOP mode" "$bin/check_throughput" --runs "$runs"
# Its figure is a difference of two short runs: at least 7 rounds.
step "D6.2 RETR of a 50 MB message" "$bin/retr_memory" --runs $((runs > 7 ? runs : 7))
step "D6.2 memory with fetches in flight" "$bin/pipeline_memory"
step "D6.3 new/seen matching" "$bin/match_scaling" --runs "$runs"
step "D6.4 filling the mail list" "$bin/mail_list_fill"
step "D6.5 idle window program and fixed waits" "$bin/idle_cpu" --seconds "$seconds"
step "D6.6, D6.7 latency: delay line, loopback, re-check" "$bin/latency" --runs "$runs"

echo
echo "load average at end: $(cut -d' ' -f1-3 /proc/loadavg)"
echo
printf '%-12s | %-48s | %-26s | %-64s | %s\n' figure measured target baseline result
grep '^SUMMARY|' "$out" | while IFS='|' read -r _ id figure target baseline result; do
    printf '%-12s | %-48s | %-26s | %-64s | %s\n' "$id" "$figure" "$target" "$baseline" "$result"
done
expected=14
met=$(grep -c '^SUMMARY|.*|met$' "$out" || true)
echo "$met of $expected figures met"
[ "$met" -eq "$expected" ] || status=1
exit $status
