#!/usr/bin/env bash
# Generates an ncdu JSON export of about a million entries (1,000 folders of
# 1,000 files, nested three deep, with hard links, names that are not ASCII
# and the extended fields of ncdu -e) and times its import with
# import_bench (release), against ncdu reading the same file (ncdu -f FILE
# -o /dev/null) when ncdu is installed.
#
#   bench/import.sh [entries] [rounds]     defaults: 1000000 entries, 5 rounds
#
# BUILD_DIR picks the build folder (default build/release).
set -euo pipefail

cd "$(dirname "$0")/.."
. bench/common.sh
entries=${1:-1000000}
rounds=${2:-5}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
json=$work/scan.json

note "generating $json"
awk -v n="$entries" 'BEGIN {
    per = 1000; leaves = int((n + per - 1) / per); top = int(sqrt(leaves)) + 1
    printf "[1,2,{\"progname\":\"ncdu\",\"progver\":\"1.18\",\"timestamp\":1700000000},\n"
    printf "[{\"name\":\"/srv/data\",\"asize\":4096,\"dsize\":4096,\"dev\":2049,\"mode\":16877,\"mtime\":1700000000}"
    made = 0; leaf = 0
    for (t = 0; t < top && made < n; t++) {
        printf ",\n[{\"name\":\"group %d\",\"mode\":16877}", t
        for (l = 0; l < top && made < n; l++) {
            printf ",\n[{\"name\":\"写真 %d\",\"mode\":16877}", l
            for (f = 0; f < per && made < n; f++) {
                size = (made * 7919) % 200000
                extra = ""
                if (f % 97 == 0) extra = sprintf(",\"ino\":%d,\"hlnkc\":true,\"nlink\":2", 1000000 + (made % 5000))
                printf ",\n{\"name\":\"file_%d > x.dat\",\"asize\":%d,\"dsize\":%d,\"mode\":33188,\"mtime\":%d%s}", \
                    f, size, int((size + 4095) / 4096) * 4096, 1600000000 + made, extra
                made++
            }
            printf "]"
        }
        printf "]"
    }
    printf "]]\n"
}' >"$json"
note "$(du -h "$json" | cut -f1) of JSON"

if command -v ncdu >/dev/null; then
    times=()
    for _ in $(seq "$rounds"); do
        t0=$(now)
        ncdu -f "$json" -o /dev/null 2>/dev/null
        t1=$(now)
        times+=("$(((t1 - t0) / 1000))")
    done
    echo "ncdu -f FILE -o /dev/null: $(echo "${times[*]}" | median | awk '{printf "%.3f", $1/1000}') s ($(echo "${times[*]}" | range))"
fi
build=${BUILD_DIR:-build/release}
[[ -f $build/build.ninja ]] || cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
if [[ $(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build/CMakeCache.txt") != Release ]]; then
    note "$build is no Release build; timings need one (set BUILD_DIR)"
    exit 2
fi
cmake --build "$build" --target import_bench >&2
"$build/bench/import_bench" "$json" "$rounds"
