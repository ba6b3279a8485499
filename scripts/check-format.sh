#!/bin/sh
# Fails when a C++ file is not as clang-format (with .clang-format) writes it.
set -eu
cd "$(dirname "$0")/.."
files=$(git ls-files 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' 'bench/*.cpp' 'bench/*.h' \
    'demo/*.cpp' 'demo/*.h' 'fuzz/*.cpp' 'fuzz/*.h')
# shellcheck disable=SC2086 # one argument per file name; none holds a blank
clang-format --dry-run -Werror $files
echo "check-format: $(echo "$files" | wc -l) files formatted"
