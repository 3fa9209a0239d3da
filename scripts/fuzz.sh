#!/usr/bin/env bash
# Builds the fuzz targets with clang, libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer, and
# runs each for its share of the given time (default 600 seconds in all). Inputs that reach new code
# are kept in build-fuzz/corpus/TARGET; a crash leaves its input in build-fuzz/crashes and fails.
#   scripts/fuzz.sh [seconds]
set -euo pipefail
cd "$(dirname "$0")/.."
total=${1:-600}
bash scripts/setup.sh clang-14 libclang-rt-14-dev
targets=(fuzz_reply fuzz_values fuzz_settings fuzz_setupfile fuzz_sim)
CC=clang-14 CXX=clang++-14 cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUARTEL_FUZZ=ON -DQUARTEL_SKIP="ui;app;bench;tools" >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target "${targets[@]}"
share=$(( total / ${#targets[@]} ))
mkdir -p build-fuzz/crashes
export QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1
status=0
for t in "${targets[@]}"; do
  mkdir -p "build-fuzz/corpus/$t"
  log="build-fuzz/$t.log"
  echo "== $t: ${share} s"
  if ! "build-fuzz/fuzz/$t" -max_total_time="$share" -print_final_stats=1 \
      -artifact_prefix=build-fuzz/crashes/ "build-fuzz/corpus/$t" "fuzz/corpus/$t" >"$log" 2>&1; then
    status=1
    grep -E '^(==|SUMMARY)|runtime error' "$log" | head -20 || true
  fi
  grep -E 'cov:' "$log" | tail -n 1 || true
  grep -E '^stat::(number_of_executed_units|peak_rss_mb)' "$log" || true
done
echo "corpora: build-fuzz/corpus (copy new inputs worth keeping to fuzz/corpus); logs: build-fuzz/*.log"
exit $status
