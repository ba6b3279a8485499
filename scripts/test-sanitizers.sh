#!/bin/sh
# Builds the tests with AddressSanitizer and UndefinedBehaviorSanitizer into
# ./build-asan (or $BUILD_DIR) and runs the whole suite there. Any report
# ends the test program that made it, so a finding fails its test.
set -eu
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build-asan}
sanitize="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
# -O1 keeps the instrumented programs quick enough for the timing tests
# while the stack traces stay readable.
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
    -DCMAKE_CXX_FLAGS="$sanitize" \
    -DCMAKE_EXE_LINKER_FLAGS="$sanitize" \
    -DCMAKE_COMPILE_WARNING_AS_ERROR="${QUORVAMEL_WERROR:-0}" >/dev/null
cmake --build "$build"
# Memory errors and undefined behaviour end the program; leak checking is
# not part of this pass.
export ASAN_OPTIONS=${ASAN_OPTIONS:-halt_on_error=1:detect_leaks=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
ctest --test-dir "$build" --output-on-failure -j2
