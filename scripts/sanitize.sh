#!/usr/bin/env bash
# Builds everything in Debug (Qt's asserts on) with AddressSanitizer and UndefinedBehaviorSanitizer
# and runs the unit, e2e and fuzz-corpus tests there (not the reruns of the screen suites over TCP,
# labelled line). Any sanitizer report fails the run.
#   scripts/sanitize.sh [ctest options]
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
source scripts/ccache.sh
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUARTEL_SANITIZE=ON -DQUARTEL_SKIP="bench;tools" \
  "${CCACHE_LAUNCHER[@]}"
cmake --build build-asan -j"$(nproc)"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
ctest --test-dir build-asan --output-on-failure --timeout 900 -L 'unit|e2e|fuzz' -LE line -j"$(nproc)" "$@"
