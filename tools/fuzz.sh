#!/bin/bash
# A longer run of the random-input tests over the cache, entry, settings and
# drive map parsers and the list rows, in the sanitizer build.
#   tools/fuzz.sh [iterations-per-test] [seed]
# The default multiplies the count `make test` uses by about a hundred.
set -euo pipefail
cd "$(dirname "$0")/.."
ITER=${1:-200000}
SEED=${2:-$(date +%s)}
if [ ! -x build/asan/tests/unit_tests ]; then
  cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DNRVS_SANITIZE=ON >/dev/null
fi
cmake --build build/asan -j "${JOBS:-2}" --target unit_tests >/dev/null
echo "fuzz: $ITER iterations per test, seed $SEED"
cd build/asan
NRVS_FUZZ_ITERATIONS=$ITER NRVS_FUZZ_SEED=$SEED \
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  LSAN_OPTIONS=suppressions=$PWD/../../tools/lsan.supp:print_suppressions=0 \
  ./tests/unit_tests --gtest_filter='RandomInputTest.*'
