#!/usr/bin/env bash
# Builds cache_bench in release and runs it: start-up read of a one-million
# folder cache with 10,000 path lookups, and sorting the folder lines.
#
#   bench/cache.sh [folders] [rounds]     defaults: 1000000 folders, 5 rounds
#
# BUILD_DIR picks the build folder (default build/release); use a folder of
# your own when someone else is building in build/release at the same time.
set -euo pipefail

cd "$(dirname "$0")/.."
. bench/common.sh
run_bench_target cache_bench "$@"
