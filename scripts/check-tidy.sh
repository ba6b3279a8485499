#!/bin/sh
# Runs clang-tidy (the checks in .clang-tidy) over src/ and the test support
# code with the compile commands of ./build (or $BUILD_DIR); fails on any
# finding. Needs a configured build (scripts/build.sh) and clang-tidy 14.
set -eu
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
tidy=${CLANG_TIDY:-clang-tidy-14}
if [ ! -f "$build/compile_commands.json" ]; then
    echo "check-tidy: no $build/compile_commands.json; configure the build first" >&2
    exit 2
fi
files=$(git ls-files 'src/*.cpp' 'tests/support/*.cpp')
# One clang-tidy per file, two at a time; all output is kept and the
# findings counted at the end, so one run shows every finding.
log=$(mktemp)
trap 'rm -f "$log"' EXIT
status=0
# shellcheck disable=SC2086 # one argument per file name; none holds a blank
printf '%s\n' $files | xargs -P "${TIDY_JOBS:-2}" -n 1 \
    "$tidy" -p "$build" --quiet >"$log" 2>&1 || status=$?
findings=$(grep -cE '^[^ ]+:[0-9]+:[0-9]+: (warning|error):' "$log" || true)
if [ "$status" -ne 0 ] || [ "$findings" -ne 0 ]; then
    grep -E '^[^ ]+:[0-9]+:[0-9]+: (warning|error):' "$log" | sort -u
    echo "check-tidy: $findings finding(s) in $(echo "$files" | wc -w) files (exit $status)" >&2
    exit 1
fi
echo "check-tidy: $(echo "$files" | wc -w) files, no findings"
