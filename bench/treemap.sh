#!/usr/bin/env bash
# Builds treemap_bench in release and runs it: the treemap of a one-million
# folder drive and of /usr at 1600 x 1000 (copy of the folder lines, layout,
# drawing) against loading the same drive's cache file.
#
#   bench/treemap.sh [folders] [rounds]     defaults: 1000000 folders, 5 rounds
#
# BUILD_DIR picks the build folder (default build/release). TREEMAP_PNG=file
# saves the generated drive's picture.
set -euo pipefail

cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build/release}

if [[ ! -f $build/build.ninja ]]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build/CMakeCache.txt")
if [[ $type != Release ]]; then
    echo "treemap.sh: $build is a '$type' build; timings need Release (set BUILD_DIR)" >&2
    exit 2
fi
cmake --build "$build" --target treemap_bench >&2
exec "$build/bench/treemap_bench" "$@"
