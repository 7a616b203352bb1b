#!/usr/bin/env bash
# Builds export_bench in release and runs it: the tree of a one-million
# folder drive exported as HTML and as CSV, against cp of the same file.
#
#   bench/export.sh [folders] [rounds]     defaults: 1000000 folders, 5 rounds
#
# BUILD_DIR picks the build folder (default build/release); use a folder of
# your own when someone else is building in build/release at the same time.
set -euo pipefail

cd "$(dirname "$0")/.."
. bench/common.sh
run_bench_target export_bench "$@"
