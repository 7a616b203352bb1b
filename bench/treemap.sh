#!/usr/bin/env bash
# Builds treemap_bench in release and runs it: the treemap of a one-million
# folder drive and of /usr at 1600 x 1000 (copy of the folder lines, layout,
# drawing) against loading the same drive's cache file.
#
#   bench/treemap.sh [folders] [rounds] [files]   defaults: 1000000 folders, 5 rounds,
#                                                 1000000 files (20 a folder) with an index
#
# BUILD_DIR picks the build folder (default build/release). TREEMAP_PNG=file
# saves the generated drive's picture.
set -euo pipefail

cd "$(dirname "$0")/.."
. bench/common.sh
run_bench_target treemap_bench "$@"
