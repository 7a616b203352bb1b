#!/usr/bin/env bash
# Builds list_bench in release and runs it: filling the main window's list
# for a folder of 20,000 subfolders with a million-line cache loaded, and the
# rows parsed while scrolling.
#
#   bench/list.sh [subfolders] [cache lines] [rounds]
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
build=${BUILD_DIR:-build/release}
[[ -f $build/build.ninja ]] || cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target list_bench >&2
exec "$build/bench/list_bench" "$@"
