#!/usr/bin/env bash
# Small jobs, where fixed costs decide: norvessa-cli's start, a folder
# measurement's cache work (read, merge, replace) on drives whose caches hold
# 25,000 and 1,000,000 folders, and a warm measurement of a source-tree sized
# folder against du, ncdu, gdu and the floor walker (bench/floor_walk.cpp) at
# Norvessa's thread count, the disk's floor for the cache work (the two
# files it writes, the cache and the previous measurement, written aside,
# flushed and renamed at once, bench/floor_write.cpp), and the window's
# start to its first paint with a
# measured drive of 25,000 folders (on an Xvfb display of its own; skipped
# without Xvfb). Every figure is a median; the tools of a round run in
# rotated order, so the machine's noise falls on all alike.
#
#   bench/small.sh [rounds]          default 9 rounds
#   FILES=80000 FOLDERS=5000 bench/small.sh
#   WINDOW=0 bench/small.sh          without the window's start
#
# NORVESSA_CLI names another norvessa-cli (then nothing is built); BUILD_DIR
# the release build folder (default build/release). TMPDIR must lie on the
# drive C: of the tool (the root file system): the folders are measured as
# folders of C:.
set -uo pipefail

cd "$(dirname "$0")/.." || exit 1
. bench/common.sh

rounds=${1:-9}
files=${FILES:-80000}
folders=${FOLDERS:-5000}
build=${BUILD_DIR:-build/release}

note "building norvessa-cli, floor_walk, floor_write and cache_bench ($build, release)"
{ [[ -f $build/build.ninja ]] || cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null; } &&
    cmake --build "$build" --target norvessa-cli norvessa floor_walk floor_write cache_bench >/dev/null ||
    { note "the build failed"; exit 1; }
cli=${NORVESSA_CLI:-$build/norvessa-cli}
floor=$build/bench/floor_walk
floor_write=$build/bench/floor_write
threads=$(($(nproc) + 1))
((threads < 2)) && threads=2
((threads > 6)) && threads=6

work=$(mktemp -d "${TMPDIR:-/tmp}/nrvs-small.XXXXXX") || exit 1
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/empty"

note "generating $files files in $folders folders"
python3 bench/gen_tree.py "$work/tree" "$files" "$folders" >"$work/gen.txt" || { note "generating the tree failed"; exit 1; }
note "writing caches of 25,000 and 1,000,000 folders"
"$build/bench/cache_bench" --write "$work/c25k.txt" 25000 || exit 1
"$build/bench/cache_bench" --write "$work/c1m.txt" 1000000 || exit 1
# The copies the floor writer replaces each round, as the cache work
# replaces a cache and a previous measurement there before.
head -1 "$work/c25k.txt" >"$work/c0.txt"  # the writer's own start, to take off
for size in 0 25k 1m; do
    mkdir -p "$work/w$size"
    cp "$work/c$size.txt" "$work/w$size/copy0" && cp "$work/c$size.txt" "$work/w$size/copy1"
done

# One copy of the tool per case, each with its own drive map and cache.
copy() { # name [cache] -> path of the copy
    mkdir -p "$work/$1"
    cp "$cli" "$work/$1/norvessa-cli"
    [[ -n ${2:-} ]] && cp "$2" "$work/$1/NRVS_C.txt"
    echo "$work/$1/norvessa-cli"
}
# The window, with a drive C: of 25,000 folders measured by the tool beside
# it, on a display of its own.
window=
if [[ ${WINDOW:-1} != 0 ]] && command -v Xvfb >/dev/null && [[ -x $build/norvessa ]]; then
    note "generating and measuring a drive of 25,000 folders for the window"
    python3 bench/gen_tree.py "$work/drive25k" 30000 25000 >/dev/null || exit 1
    mkdir -p "$work/window"
    cp "$build/norvessa" "$cli" "$work/window/"
    touch "$work/window/norvessa.portable"
    { for i in $(seq 0 51); do if ((i == 2)); then echo "$work/drive25k"; else echo; fi; done; } >"$work/window/norvessa.drv"
    "$work/window/norvessa-cli" measure C: >/dev/null || { note "measuring the window's drive failed"; exit 1; }
    for display in $(seq 90 120); do [[ -e /tmp/.X11-unix/X$display || -e /tmp/.X$display-lock ]] || break; done
    Xvfb ":$display" -screen 0 1600x1000x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb=$!
    trap 'kill "$xvfb" 2>/dev/null; rm -rf "$work"' EXIT
    sleep 1
    window=$work/window/norvessa
else
    note "no Xvfb or no norvessa: the window's start is not measured"
fi

bare=$(copy bare)
small=$(copy small "$work/c25k.txt")
large=$(copy large "$work/c1m.txt")
walked=$(copy walked "$work/c25k.txt")

declare -A times
# As run_timed, but in microseconds: the small jobs take a few milliseconds.
run_timed() {
    local key=$1 t0 t1
    shift
    t0=$(now)
    "$@" >"$work/out.$key" 2>"$work/err" || { note "$key failed:"; head -3 "$work/err" >&2; }
    t1=$(now)
    times[$key]+="$((t1 - t0)) "
}
keys=(help empty du-empty empty-25k empty-1m write-0 write-25k write-1m tree du ncdu gdu floor)
run_key() {
    case $1 in
    help) run_timed help "$bare" help ;;
    empty)
        rm -f "$work/bare/NRVS_C.txt"
        run_timed empty "$bare" measure "$work/empty/"
        ;;
    du-empty) run_timed du-empty du -s "$work/empty" ;;
    empty-25k) run_timed empty-25k "$small" measure "$work/empty/" ;;
    empty-1m) run_timed empty-1m "$large" measure "$work/empty/" ;;
    write-0) run_timed write-0 "$floor_write" "$work/c0.txt" "$work/w0" ;;
    write-25k) run_timed write-25k "$floor_write" "$work/c25k.txt" "$work/w25k" ;;
    write-1m) run_timed write-1m "$floor_write" "$work/c1m.txt" "$work/w1m" ;;
    tree) run_timed tree "$walked" measure "$work/tree/" ;;
    du) run_timed du du -s "$work/tree" ;;
    ncdu) command -v ncdu >/dev/null && run_timed ncdu ncdu -0 -x -o /dev/null "$work/tree" ;;
    gdu) command -v gdu >/dev/null && run_timed gdu gdu -n -x -p "$work/tree" ;;
    floor) run_timed floor "$floor" "$work/tree" "$threads" ;;
    window)
        [[ -n $window ]] &&
            run_timed window env DISPLAY=":$display" XDG_RUNTIME_DIR="$work" NORVESSA_EXIT_AFTER_PAINT=1 "$window"
        ;;
    esac
}

note "one round to warm up, then $rounds"
for ((round = 0; round <= rounds; ++round)); do
    n=${#keys[@]}
    for ((k = 0; k < n; ++k)); do run_key "${keys[$(((k + round) % n))]}"; done
    if ((round == 0)); then
        for key in "${keys[@]}"; do times[$key]=; done
        lines_1m=$(wc -l <"$work/large/NRVS_C.txt")
        lines_25k=$(wc -l <"$work/small/NRVS_C.txt")
    fi
done

# The window on its own: its display's work after it exits would fall on
# the command that follows it.
if [[ -n $window ]]; then
    note "the window: one start to warm up, then $rounds"
    for ((round = 0; round <= rounds; ++round)); do
        run_key window
        ((round == 0)) && times[window]=
    done
fi

med() { echo "${times[$1]:-}" | median | awk '{ if ($1 != "") printf "%.2f", $1 / 1000 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else printf "-" }'; }
row() { printf '  %-48s %9s ms  (%s ms)  %s\n' "$1" "$(med "$2")" "$(echo "${times[$2]:-}" | range)" "${3:-}"; }

echo "Small jobs, medians of $rounds rounds (min..max); tree: $(head -1 "$work/gen.txt")"
echo "norvessa-cli: $(ldd "$cli" | grep -c '=>') shared libraries; walk threads $threads"
row "norvessa-cli help" help "goal <= 3 ms"
row "norvessa-cli measure EMPTY/ (no cache)" empty "goal <= 5 ms; $(ratio "$(med empty)" "$(med du-empty)") x du -s"
row "du -s EMPTY" du-empty
row "measure EMPTY/ with a cache of $lines_25k lines" empty-25k
row "measure EMPTY/ with a cache of $lines_1m lines" empty-1m
per() { # key lines -> microseconds a line the cache adds to the empty measurement
    awk -v a="$(med "$1")" -v b="$(med empty)" -v n="$2" 'BEGIN { printf "%.3f", (a - b) * 1000 / n }'
}
echo "  cache work a line (above the measurement without a cache): $(per empty-25k "$lines_25k") us at $lines_25k lines," \
    "$(per empty-1m "$lines_1m") us at $lines_1m lines (goal <= 0.3 us)"
row "disk floor: 2 copies of 1 line, flushed" write-0
row "disk floor: 2 copies of $lines_25k lines, flushed" write-25k
row "disk floor: 2 copies of $lines_1m lines, flushed" write-1m
floor_per() { # key lines -> microseconds a line above the copies of one line
    awk -v a="$(med "$1")" -v b="$(med write-0)" -v n="$2" 'BEGIN { printf "%.3f", (a - b) * 1000 / n }'
}
echo "  the disk's floor a line: $(floor_per write-25k "$lines_25k") us at $lines_25k lines, $(floor_per write-1m "$lines_1m") us" \
    "at $lines_1m lines; cache work / floor: $(ratio "$(per empty-25k "$lines_25k")" "$(floor_per write-25k "$lines_25k")")," \
    "$(ratio "$(per empty-1m "$lines_1m")" "$(floor_per write-1m "$lines_1m")")"
echo
row "norvessa-cli measure TREE/ (cache of 25,000)" tree
for peer in du ncdu gdu floor; do
    [[ -n ${times[$peer]:-} ]] || continue
    row "$peer" "$peer" "$peer/Norvessa $(ratio "$(med "$peer")" "$(med tree)")"
done
fastest=
for peer in du ncdu gdu; do
    m=$(med "$peer")
    [[ -z $m ]] && continue
    if [[ -z $fastest ]] || awk -v a="$m" -v b="$fastest" 'BEGIN { exit !(a < b) }'; then fastest=$m; fi
done
echo "  Norvessa / fastest of du, ncdu, gdu: $(ratio "$(med tree)" "$fastest") (goal <= 0.55)"
echo "  Norvessa / floor walker at $threads threads: $(ratio "$(med tree)" "$(med floor)") (goal <= 1.15)"
if [[ -n ${times[window]:-} ]]; then
    echo
    row "window: start to first paint, 25,000 folders" window "goal < 150 ms"
fi
echo "  totals: $(head -c 300 "$work/out.du" | tr '\t\n' '  ') | $(sed -n '2,4p' "$work/out.tree" | tr -s ' \n' '  ')"
