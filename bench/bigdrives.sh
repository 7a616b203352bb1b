#!/usr/bin/env bash
# Drives of millions of folders: for generated caches of each size given
# (folders; paths of about 60 characters), the bytes a folder the window's
# list holds once open and at the peak of opening, the time to open it, a
# folder measurement of about a hundred folders in it, the command-line
# verbs on it beside the window's same computations (rank, files, types,
# changes, treemap), and ncdu -f browsing the same folders.
#
#   bench/bigdrives.sh [folders ...]      default: 1000000 3000000 (a few minutes)
#   bench/bigdrives.sh 1000000 3000000 10000000    the full run (10M: ~6 GB of
#                                                  memory and ~10 minutes more)
#   ROUNDS=5 bench/bigdrives.sh           rounds of each step (default 3)
#   CACHES=DIR bench/bigdrives.sh         keeps the generated caches in DIR
#                                         (folders-N.txt) and takes them from
#                                         there next time (10M takes minutes);
#                                         the file index and the previous
#                                         measurement made for each are kept
#                                         beside it (folders-N.idx,
#                                         folders-N.prev.txt, folders-N.prev.idx)
#
# Each cache gets a file index (its folders, about three files in each folder
# with files of its own) and a previous measurement (1 % of the folders with
# other figures, some new and as many gone) with its own index, made by
# bigdrives_bench, for files, types and changes (--files).
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
# bytes a folder, and held split into anonymous and file-backed bytes.
# Prints "seconds min..max held peak anon file".
step() {
    local name=$1 file=$2 n=$3 secs=() helds=() peaks=() anons=() files=() line
    for ((r = 0; r < rounds; r++)); do
        line=$("$bench" "$name" "$file" 2>/dev/null) || { echo "failed"; return; }
        read -r s f h p a fb <<<"$line"
        secs+=("$(awk -v s="$s" 'BEGIN{printf "%d", s*1000000}')")
        helds+=("$h")
        peaks+=("$p")
        anons+=("$a")
        files+=("$fb")
    done
    local ms
    ms=$(printf '%s ' "${secs[@]}" | median)
    printf '%.3f %s %.0f %.0f' "$(awk -v m="$ms" 'BEGIN{print m/1000000}')" \
        "$(printf '%s ' "${secs[@]}" | awk '{for(i=1;i<=NF;i++){if(i==1||$i<lo)lo=$i;if($i>hi)hi=$i} printf "%.3f..%.3f", lo/1e6, hi/1e6}')" \
        "$(printf '%s ' "${helds[@]}" | median | awk -v n="$n" '{print $1/n}')" \
        "$(printf '%s ' "${peaks[@]}" | median | awk -v n="$n" '{print $1/n}')"
    printf ' %.0f %.0f' "$(printf '%s ' "${anons[@]}" | median | awk -v n="$n" '{print $1/n}')" \
        "$(printf '%s ' "${files[@]}" | median | awk -v n="$n" '{print $1/n}')"
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

# ncdu -f in a terminal of its own until its browser is up (no output for
# 1.5 s), then q: the seconds to that point and its peak resident KB.
ncdu_browse() {
    python3 - "$1" <<'PY'
import os, pty, sys, time, select
pid, fd = pty.fork()
if pid == 0:
    os.environ["TERM"] = "xterm"
    os.execvp("ncdu", ["ncdu", "-f", sys.argv[1]])
t0 = last = time.time()
while True:
    r, _, _ = select.select([fd], [], [], 0.2)
    if r:
        try:
            os.read(fd, 65536)
        except OSError:
            break
        last = time.time()
    elif time.time() - last > 1.5:
        break
os.write(fd, b"q")
_, status, ru = os.wait4(pid, 0)
print(f"{last - t0:.3f} {ru.ru_maxrss}")
PY
}

echo "held B/dir: the process's own memory (RssAnon), on which the goal of <= 100 B/dir is judged;"
echo "file B/dir: pages of the cache read in place (RssFile): the system's file cache, shared and taken"
echo "back under memory pressure, so not the list's to hold; peak: VmHWM (both kinds); peak/: its ratio"
echo "to both kinds held after the step"
for n in "${sizes[@]}"; do
    rm -f "$cache"
    if [[ -n ${CACHES:-} && -f $CACHES/folders-$n.txt ]]; then
        cp "$CACHES/folders-$n.txt" "$cache"
    else
        note "generating a cache of $n folders"
        "$build/bench/cache_bench" --write "$cache" "$n"
        [[ -z ${CACHES:-} ]] || { mkdir -p "$CACHES" && cp "$cache" "$CACHES/folders-$n.txt"; }
    fi
    # The drive holds the cache's top folders (empty), as the measured disk
    # did: the treemap lays out the drive's entries, and an empty drive
    # would leave it one rectangle.
    rm -rf "$work/drive" && mkdir -p "$work/drive"
    (cd "$work/drive" && sed -n 's/^C:\\\([^\\]*\)\\ > .*/\1/p' "$cache" | tr '\n' '\0' | xargs -0 -r mkdir -p --)
    # The file index and the previous measurement of this cache: made once
    # and kept beside a kept cache (remade when the cache is newer).
    mkdir -p "$work/bin/previous"
    remade=0  # a previous measurement made again wants its index made again
    for kind in idx prev.txt prev.idx; do
        kept=${CACHES:+$CACHES/folders-$n.$kind}
        case $kind in
        idx) target=$work/bin/NRVS_C.idx ;;
        prev.txt) target=$work/bin/previous/NRVS_C.txt ;;
        prev.idx) target=$work/bin/previous/NRVS_C.idx ;;
        esac
        rm -f "$target"
        if [[ -n $kept && -f $kept && $kept -nt $CACHES/folders-$n.txt && ($kind != prev.idx || $remade == 0) ]]; then
            cp "$kept" "$target"
        else
            [[ $kind != prev.txt ]] || remade=1
            note "making the $kind of $n folders"
            case $kind in
            idx) "$bench" make-index "$cache" "$target" >/dev/null ;;
            prev.txt) "$bench" make-previous "$cache" "$target" >/dev/null ;;
            prev.idx) "$bench" make-index "$work/bin/previous/NRVS_C.txt" "$target" >/dev/null ;;
            esac
            [[ -z $kept ]] || cp "$target" "$kept"
        fi
    done
    bytes=$(stat -c %s "$cache")
    printf '\n== %s folders: cache %.0f MB, %.1f bytes a line ==\n' "$n" "$((bytes / 1048576))" \
        "$(awk -v b="$bytes" -v n="$n" 'BEGIN{print b/n}')"
    # held: the process's own (anonymous) bytes, the goal's measure; file:
    # pages of the cache read in place, which the system shares with its
    # file cache and takes back under memory pressure (they stay on disk);
    # peak: the highest resident bytes (both kinds) while stepping, and its
    # ratio to what both kinds hold after.
    row() { printf '%-34s %8s %14s %10s %10s %10s %6s\n' "$@"; }
    stepRow() {
        local label=$1 s mm h p a f
        read -r s mm h p a f <<<"$(step "$2" "$cache" "$n")"
        row "$label" "$s" "$mm" "$a" "$f" "$p" "$(awk -v p="$p" -v h="$h" 'BEGIN{if (h > 0) printf "%.2f", p/h}')"
        last_s=$s
    }
    row "step" "seconds" "min..max" "held B/dir" "file B/dir" "peak B/dir" "peak/"
    stepRow "open (window's list, first lookup)" open
    open_s=$last_s
    stepRow "  before: a string a line" open-strings
    stepRow "folder measurement (~100 folders)" folder
    stepRow "  before: filter, merge, reindex" folder-strings
    # held: the open list (both kinds); peak: what the treemap adds above it.
    read -r s mm h p a f <<<"$(step treemap "$cache" "$n")"
    row "window's first treemap (1600x1000)" "$s" "$mm" "$h" "" "+$p" ""
    list_held=$h

    # The window's side of a verb from a drive not yet open: the open, then
    # the computation (the steps time the computation alone).
    declare -A window=([treemap]=$(awk -v a="$open_s" -v b="$s" 'BEGIN{printf "%.3f", a+b}'))
    treemap_s=$s
    for v in rank files types changes changes-files; do
        case $v in
        rank) label="window's ranking (Top 100)" ;;
        files) label="window's largest files (Top 100)" ;;
        types) label="window's file types" ;;
        changes) label="window's changes (Top 100)" ;;
        changes-files) label="  its files of C:\\ (Top 1000)" ;;
        esac
        stepRow "$label" "$v"
        window[$v]=$(awk -v a="$open_s" -v b="$last_s" 'BEGIN{printf "%.3f", a+b}')
    done
    # The changes window shows its folders before the files of the one chosen.
    window[changes-files]=$(awk -v a="${window[changes]}" -v b="${window[changes-files]}" -v o="$open_s" \
        'BEGIN{printf "%.3f", a+b-o}')
    printf '%-34s %8s %14s %12s %14s %9s %6s\n' "command" "seconds" "min..max" "peak MB" "B/dir above list" "window s" "goal"
    # As many rows as the window's step computes: Top 100 (the largest files'
    # default too), the changes' files Top 1000.
    for verb in "rank C: --top 100" "tree C:" "export C: --tree $work/tree.csv --format csv" \
        "treemap C: --out $work/map.png --size 1600x1000" "files C:" "types C:" "changes C: --top 100" \
        "changes C: --files --top 1000"; do
        # shellcheck disable=SC2086
        read -r s mm m <<<"$(timed "$cli" $verb)"
        name=${verb%% *}
        [[ $verb != *--files* ]] || name=changes-files
        # Below 1.5 s, and no slower than the window doing the same (an
        # export's floor is writing its file: no goal of time; the treemap's
        # goal is the window's own, below).
        w=${window[$name]:-} goal=
        if [[ $name != export && $name != treemap ]]; then
            goal=$(awk -v s="$s" -v w="$w" 'BEGIN{print (s < 1.5 && (w == "" || s <= w)) ? "PASS" : "MISS"}')
        fi
        printf '%-34s %8s %14s %12s %14s %9s %6s\n' "norvessa-cli ${name/-/ --}" "$s" "$mm" "$m" \
            "$(awk -v m="$m" -v h="$list_held" -v n="$n" 'BEGIN{printf "%+.0f", (m*1048576-h*n)/n}')" "$w" "$goal"
    done
    printf "window s: the window's open plus its step above. The window's first treemap: %s s (goal < 1 s: %s)\n" \
        "$treemap_s" "$(awk -v s="$treemap_s" 'BEGIN{print s < 1 ? "PASS" : "MISS"}')"
    if command -v ncdu >/dev/null; then
        read -r written skipped <<<"$("$bench" ncdu "$cache" "$work/ncdu.json")"
        secs=() mems=()
        for ((r = 0; r < rounds; r++)); do
            read -r s m <<<"$(ncdu_browse "$work/ncdu.json")"
            secs+=("$(awk -v s="$s" 'BEGIN{printf "%d", s*1000}')")
            mems+=("$m")
        done
        m=$(printf '%s ' "${mems[@]}" | median)
        printf '%-34s %8s %14s %12.0f   %.0f B/dir (%s folders, %s left out)\n' "ncdu -f, browsing (same folders)" \
            "$(printf '%s ' "${secs[@]}" | median | awk '{printf "%.2f", $1/1000}')" "$(printf '%s ' "${secs[@]}" | range)" \
            "$(awk -v m="$m" 'BEGIN{print m/1024}')" "$(awk -v m="$m" -v n="$written" 'BEGIN{print m*1024/n}')" \
            "$written" "$skipped"
        rm -f "$work/ncdu.json"
    fi
    printf 'open: %s s for %s folders\n' "$open_s" "$n"
done
