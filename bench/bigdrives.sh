#!/usr/bin/env bash
# Drives of millions of folders: for generated caches of each size given
# (folders; paths of about 60 characters), the bytes a folder the window's
# list holds once open and at the peak of opening, the time to open it, a
# folder measurement of about a hundred folders in it, the command-line
# verbs on it, and ncdu -f browsing the same folders (imported and written
# out again: ncdu holds the whole tree either way).
#
#   bench/bigdrives.sh [folders ...]      default: 1000000 3000000 (a few minutes)
#   bench/bigdrives.sh 1000000 3000000 10000000    the full run (10M: ~6 GB of
#                                                  memory and ~10 minutes more)
#   ROUNDS=5 bench/bigdrives.sh           rounds of each step (default 3)
#
# Each step runs in a process of its own, so that its memory is its own;
# "before" is the list as it was (one string a line, a path index sorted in
# full), run by the same program on the same file. Times are medians of the
# rounds, min..max beside them. BUILD_DIR picks the release build folder.
set -euo pipefail

cd "$(dirname "$0")/.."
. bench/common.sh

build=${BUILD_DIR:-build/release}
rounds=${ROUNDS:-3}
sizes=("$@")
((${#sizes[@]})) || sizes=(1000000 3000000)

if [[ ! -f $build/build.ninja ]]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build/CMakeCache.txt")
[[ $type == Release ]] || { note "bigdrives.sh: $build is a '$type' build; set BUILD_DIR"; exit 2; }
note "building cache_bench, bigdrives_bench, norvessa-cli in $build"
cmake --build "$build" --target cache_bench bigdrives_bench norvessa-cli >&2
command -v ncdu >/dev/null || note "ncdu is not installed: its column stays empty"
[[ -x /usr/bin/time ]] || { note "bigdrives.sh needs /usr/bin/time (apt-get install time)"; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/nrvs-bigdrives.XXXXXX") || exit 1
trap 'rm -rf "$work"' EXIT
trap 'exit 130' INT TERM

# A copy of the tool with its own settings and drive map: C: is an empty
# folder, so every verb works from the cache alone.
mkdir -p "$work/bin" "$work/drive"
cp "$build/norvessa-cli" "$build/norvessa-treemap" "$work/bin/"
touch "$work/bin/norvessa.portable"
cli=$work/bin/norvessa-cli
{ for i in $(seq 0 51); do if ((i == 2)); then echo "$work/drive"; else echo; fi; done; } >"$work/bin/norvessa.drv"
cache=$work/bin/NRVS_C.txt

bench=$build/bench/bigdrives_bench

# Rounds of one bigdrives_bench step: medians of seconds, held and peak
# bytes a folder. Prints "seconds min..max held peak".
step() {
    local name=$1 file=$2 n=$3 secs=() helds=() peaks=() line
    for ((r = 0; r < rounds; r++)); do
        line=$("$bench" "$name" "$file" 2>/dev/null) || { echo "failed"; return; }
        read -r s f h p <<<"$line"
        secs+=("$(awk -v s="$s" 'BEGIN{printf "%d", s*1000000}')")
        helds+=("$h")
        peaks+=("$p")
    done
    local ms
    ms=$(printf '%s ' "${secs[@]}" | median)
    printf '%.3f %s %.0f %.0f' "$(awk -v m="$ms" 'BEGIN{print m/1000000}')" \
        "$(printf '%s ' "${secs[@]}" | awk '{for(i=1;i<=NF;i++){if(i==1||$i<lo)lo=$i;if($i>hi)hi=$i} printf "%.3f..%.3f", lo/1e6, hi/1e6}')" \
        "$(printf '%s ' "${helds[@]}" | median | awk -v n="$n" '{print $1/n}')" \
        "$(printf '%s ' "${peaks[@]}" | median | awk -v n="$n" '{print $1/n}')"
}

# Median wall seconds and peak resident MB of a command, over the rounds.
timed() {
    local secs=() mems=() out
    for ((r = 0; r < rounds; r++)); do
        out=$(/usr/bin/time -f '%e %M' "$@" 2>&1 >/dev/null | tail -1)
        secs+=("$(awk -v s="${out% *}" 'BEGIN{printf "%d", s*1000}')")
        mems+=("${out#* }")
    done
    printf '%.2f %s %.0f' "$(printf '%s ' "${secs[@]}" | median | awk '{print $1/1000}')" \
        "$(printf '%s ' "${secs[@]}" | range)" "$(printf '%s ' "${mems[@]}" | median | awk '{print $1/1024}')"
}

for n in "${sizes[@]}"; do
    note "generating a cache of $n folders"
    rm -f "$cache"
    "$build/bench/cache_bench" --write "$cache" "$n"
    bytes=$(stat -c %s "$cache")
    printf '\n== %s folders: cache %.0f MB, %.1f bytes a line ==\n' "$n" "$((bytes / 1048576))" \
        "$(awk -v b="$bytes" -v n="$n" 'BEGIN{print b/n}')"
    printf '%-34s %8s %14s %12s %12s\n' "step" "seconds" "min..max" "held B/dir" "peak B/dir"
    read -r s mm h p <<<"$(step open "$cache" "$n")"
    printf '%-34s %8s %14s %12s %12s\n' "open (window's list, first lookup)" "$s" "$mm" "$h" "$p"
    open_s=$s
    read -r s mm h p <<<"$(step open-strings "$cache" "$n")"
    printf '%-34s %8s %14s %12s %12s\n' "  before: a string a line" "$s" "$mm" "$h" "$p"
    read -r s mm h p <<<"$(step folder "$cache" "$n")"
    printf '%-34s %8s %14s %12s %12s\n' "folder measurement (~100 folders)" "$s" "$mm" "$h" "$p"
    read -r s2 mm h p <<<"$(step folder-strings "$cache" "$n")"
    printf '%-34s %8s %14s %12s %12s\n' "  before: filter, merge, reindex" "$s2" "$mm" "$h" "$p"

    printf '%-34s %8s %14s %12s\n' "command" "seconds" "min..max" "peak MB"
    for verb in "rank C:" "tree C:" "export C: --tree $work/tree.csv --format csv" \
        "treemap C: --out $work/map.png --size 1600x1000"; do
        # shellcheck disable=SC2086
        read -r s mm m <<<"$(timed "$cli" $verb)"
        printf '%-34s %8s %14s %12s\n' "norvessa-cli ${verb%% *}" "$s" "$mm" "$m"
    done
    if command -v ncdu >/dev/null; then
        read -r written skipped <<<"$("$bench" ncdu "$cache" "$work/ncdu.json")"
        read -r s mm m <<<"$(timed ncdu -f "$work/ncdu.json" -o /dev/null)"
        printf '%-34s %8s %14s %12s   %.0f B/dir (%s folders, %s left out)\n' "ncdu -f (same folders)" "$s" "$mm" "$m" \
            "$(awk -v m="$m" -v n="$written" 'BEGIN{print m*1048576/n}')" "$written" "$skipped"
        rm -f "$work/ncdu.json"
    fi
    printf 'open: %s s for %s folders\n' "$open_s" "$n"
done
