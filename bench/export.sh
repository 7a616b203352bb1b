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
build=${BUILD_DIR:-build/release}

if [[ ! -f $build/build.ninja ]]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build/CMakeCache.txt")
if [[ $type != Release ]]; then
    echo "export.sh: $build is a '$type' build; timings need Release (set BUILD_DIR)" >&2
    exit 2
fi
cmake --build "$build" --target export_bench >&2
exec "$build/bench/export_bench" "$@"
