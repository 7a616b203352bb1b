#!/usr/bin/env bash
# Builds history_bench in release and runs it: what appending a drive's
# history record costs a folder measurement, against writing the cache whole
# and against keeping the previous measurement whole as today; reading the
# summaries and rebuilding the oldest measurement.
#
#   bench/history.sh [folders] [rounds] [measurements]   defaults: 25000 7 100
#
# BUILD_DIR picks the build folder (default build/release); TMPDIR the disk
# written to (default /var/tmp; keep it off tmpfs).
set -euo pipefail

cd "$(dirname "$0")/.."
. bench/common.sh
run_bench_target history_bench "$@"
