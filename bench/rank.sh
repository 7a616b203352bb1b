#!/usr/bin/env bash
# Builds rank_bench in release and runs it: ranking one million folders by
# each key against a baseline that parses both lines at every comparison,
# and the ranking's peak memory beside the folder list's.
#
#   bench/rank.sh [folders] [rounds] [baseline rounds]   defaults: 1000000 5 1
#
# BUILD_DIR picks the build folder (default build/release); use a folder of
# your own when someone else is building in build/release at the same time.
set -euo pipefail

cd "$(dirname "$0")/.."
. bench/common.sh
run_bench_target rank_bench "$@"
