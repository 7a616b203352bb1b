#!/usr/bin/env bash
# Builds changes_bench in release and runs it: the changes between two
# measurements of a million folders (both caches mapped, one merge pass,
# ranked) against GNU diff of the same two cache files.
#
#   bench/changes.sh [folders] [rounds]      defaults: 1000000 5
#
# BUILD_DIR picks the build folder (default build/release); use a folder of
# your own when someone else is building in build/release at the same time.
set -euo pipefail

cd "$(dirname "$0")/.."
. bench/common.sh
run_bench_target changes_bench "$@"
