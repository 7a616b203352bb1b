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
build=${BUILD_DIR:-build/release}

if [[ ! -f $build/build.ninja ]]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build/CMakeCache.txt")
if [[ $type != Release ]]; then
    echo "cache.sh: $build is a '$type' build; timings need Release (set BUILD_DIR)" >&2
    exit 2
fi
cmake --build "$build" --target cache_bench >&2
exec "$build/bench/cache_bench" "$@"
