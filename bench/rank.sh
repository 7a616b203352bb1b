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
build=${BUILD_DIR:-build/release}

if [[ ! -f $build/build.ninja ]]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build/CMakeCache.txt")
if [[ $type != Release ]]; then
    echo "rank.sh: $build is a '$type' build; timings need Release (set BUILD_DIR)" >&2
    exit 2
fi
cmake --build "$build" --target rank_bench >&2
exec "$build/bench/rank_bench" "$@"
