#!/bin/bash
# Longer runs of the fuzzing over the parsers of the cache, entries,
# settings, drive map, file index, previous measurement and import, and over
# the list rows, with the sanitizers.
#   tools/fuzz.sh [iterations-per-test] [seed]
#       the random-input tests of `make test` at a much higher count
#   tools/fuzz.sh libfuzzer [seconds]
#       the coverage-guided fuzzer tools/fuzz_parsers.cpp (clang); its corpus
#       is kept in build/fuzz/corpus, a failing input in build/fuzz/
set -euo pipefail
cd "$(dirname "$0")/.."
JOBS=${JOBS:-2}
SUPP=$PWD/tools/lsan.supp
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$SUPP:print_suppressions=0

if [ "${1:-}" = libfuzzer ]; then
  SECONDS_TO_RUN=${2:-600}
  cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
    -DNRVS_SANITIZE=ON -DNRVS_LIBFUZZER=ON >/dev/null
  cmake --build build/fuzz -j "$JOBS" --target fuzz_parsers >/dev/null
  mkdir -p build/fuzz/corpus
  echo "fuzz: libFuzzer for $SECONDS_TO_RUN s"
  cd build/fuzz
  exec ./fuzz_parsers -max_total_time="$SECONDS_TO_RUN" -max_len=4096 -print_final_stats=1 corpus
fi

ITER=${1:-200000}
SEED=${2:-$(date +%s)}
cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DNRVS_SANITIZE=ON >/dev/null
cmake --build build/asan -j "$JOBS" --target unit_tests >/dev/null
echo "fuzz: $ITER iterations per test, seed $SEED"
cd build/asan
NRVS_FUZZ_ITERATIONS=$ITER NRVS_FUZZ_SEED=$SEED ./tests/unit_tests --gtest_filter='RandomInputTest.*:FileIndexTest.AnIndexThatDoesNotBelongIsNeverShown:ChangesTest.DamagedOrForeignPreviousMeasurementsAreRefused:NcduTest.RandomDamageNeverCrashes'
