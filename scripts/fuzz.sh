#!/bin/bash
# Builds the libFuzzer programs (clang, address and undefined-behaviour
# sanitizers) in build-fuzz/ and runs each for a bounded time, two at a time.
#   scripts/fuzz.sh [SECONDS] [TARGET...]
# SECONDS per target, default 300. TARGET names without the fuzz_ prefix,
# default all. Corpora grow in build-fuzz/corpus/<target>, starting from
# fuzz/seeds/<target>; crashing inputs land in build-fuzz/crashes/<target>.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-fuzz
seconds=${1:-300}
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    targets=(header_block mail_date session_reader settings_record account_record
        header_cache_file)
fi
jobs=${FUZZ_JOBS:-2}

cxx=${CXX_FUZZ:-clang++-14}
cc=${CC_FUZZ:-clang-14}
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_C_COMPILER="$cc" \
    -DQUORVAMEL_FUZZ=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j2 --target "${targets[@]/#/fuzz_}"

run_one() {
    local name=$1
    local corpus=$build/corpus/$name crashes=$build/crashes/$name rc=0
    mkdir -p "$corpus" "$crashes"
    local extra=()
    # The reader's limits lie far beyond libFuzzer's default input size.
    [ "$name" = session_reader ] && extra+=(-max_len=16384)
    local dict=$root/fuzz/seeds/$name.dict
    [ -f "$dict" ] && extra+=(-dict="$dict")
    local seeds=()
    [ -d "$root/fuzz/seeds/$name" ] && seeds+=("$root/fuzz/seeds/$name")
    "$build/fuzz/fuzz_$name" "$corpus" "${seeds[@]}" "${extra[@]}" \
        -max_total_time="$seconds" -timeout=20 -rss_limit_mb=3072 -print_final_stats=1 \
        -artifact_prefix="$crashes/" >"$build/fuzz_$name.log" 2>&1 || rc=$?
    local stats
    stats=$(grep -E '^(#[0-9]+.*(DONE|pulse|NEW|REDUCE)|stat::)' "$build/fuzz_$name.log" |
        grep -E 'DONE|stat::number_of_executed_units|stat::average_exec_per_sec|stat::new_units_added' |
        tr '\n' ' ')
    echo "fuzz_$name: exit $rc; $stats"
    return $rc
}

status=0
pids=()
names=()
for name in "${targets[@]}"; do
    run_one "$name" &
    pids+=($!)
    names+=("$name")
    if [ ${#pids[@]} -ge "$jobs" ]; then
        wait "${pids[0]}" || status=1
        pids=("${pids[@]:1}")
        names=("${names[@]:1}")
    fi
done
for pid in "${pids[@]}"; do
    wait "$pid" || status=1
done
[ $status -eq 0 ] && echo "fuzz.sh: no findings" || echo "fuzz.sh: findings, see $build/crashes/"
exit $status
