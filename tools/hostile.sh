#!/bin/bash
# A hostile round against norvessa-cli, longer than the tests: measurements
# killed at random moments while the tree changes between them, and readers
# running against measurements in progress. After every kill the drive's
# cache must be whole and its file index must be the cache's own (or be
# refused): every folder lists as many files in the index as its line counts.
# Readers must end with 0, 1 or 2, never with a signal or a sanitizer report.
#   tools/hostile.sh [KILLS] [READS] [CLI]
# CLI defaults to build/asan/norvessa-cli (the sanitizers catch more).
set -u
cd "$(dirname "$0")/.." || exit 1
kills=${1:-100}
reads=${2:-1000}
src=${3:-build/asan/norvessa-cli}
[ -x "$src" ] || { echo "hostile.sh: no $src (make asan)" >&2; exit 2; }
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=0:exitcode=99
export UBSAN_OPTIONS=halt_on_error=1:exitcode=99

work=$(mktemp -d)
trap 'chmod -R u+w "$work" 2>/dev/null; rm -rf "$work"' EXIT
mkdir -p "$work/bin" "$work/d"
cp "$src" "$work/bin/norvessa-cli"
cli=$work/bin/norvessa-cli
{ for i in $(seq 0 51); do if [ "$i" = 7 ]; then echo "$work/d"; else echo; fi; done; } >"$work/bin/norvessa.drv"

# A tree of a few thousand folders; each round replaces a random part of
# its files by others of new names and numbers, so that an index of another
# measurement shows.
for a in $(seq 1 12); do for b in $(seq 1 12); do for c in $(seq 1 12); do
    mkdir -p "$work/d/a$a/b$b/c$c"
done; done; done
change_files() {
    local round=$1 n a b
    for n in $(seq 1 $((RANDOM % 40 + 10))); do
        a=$((RANDOM % 12 + 1)) b=$((RANDOM % 12 + 1))
        rm -f "$work/d/a$a/b$b"/f* 2>/dev/null
        for f in $(seq 1 $((RANDOM % 5))); do echo "$round" >"$work/d/a$a/b$b/f$round-$f"; done
    done
}

problems=0
problem() { echo "PROBLEM: $*"; problems=$((problems + 1)); }

# The index against the cache: files per folder from `files` equal each
# folder's own file count in `tree`.
index_matches_cache() {
    "$cli" tree H: >"$work/tree" 2>"$work/tree.err"
    local st=$?
    [ "$st" -le 2 ] || { problem "tree ended with $st: $(head -c 300 "$work/tree.err")"; return; }
    [ "$st" = 0 ] || return 0
    "$cli" files H: --top 100000000 >"$work/files" 2>"$work/files.err"
    st=$?
    [ "$st" -le 2 ] || { problem "files ended with $st: $(head -c 300 "$work/files.err")"; return; }
    [ "$st" = 0 ] || return 0
    awk -F'\t' '{ p = $1; sub(/[^\\]*$/, "", p); n[p]++ } END { for (k in n) print k "\t" n[k] }' \
        "$work/files" | sort >"$work/from-index"
    awk 'NR > 1 { i = index($0, " > "); p = substr($0, 1, i - 1); split(substr($0, i + 3), v, ":");
                  if (v[5] > 0) print p "\t" v[5] }' "$work/tree" | sort >"$work/from-cache"
    cmp -s "$work/from-index" "$work/from-cache" ||
        problem "the index lists other files than the cache counts: $(diff "$work/from-cache" "$work/from-index" | head -4 | tr '\n' ' ')"
}

start=$(date +%s%N)
"$cli" measure H: >/dev/null 2>&1 || { echo "hostile.sh: the first measurement failed" >&2; exit 1; }
# Kills fall anywhere in a measurement's time, and a little after.
span=$((($(date +%s%N) - start) / 1000 * 3 / 2))
echo "kills: $kills measurements killed at random moments"
for r in $(seq 1 "$kills"); do
    change_files "$r"
    if [ $((r % 3)) = 0 ]; then
        "$cli" measure "H:\\a$((RANDOM % 12 + 1))\\" >/dev/null 2>&1 &
    else
        "$cli" measure H: >/dev/null 2>&1 &
    fi
    pid=$!
    delay=$(((RANDOM * 32768 + RANDOM) % span))
    sleep "$((delay / 1000000)).$(printf '%06d' $((delay % 1000000)))"
    kill -9 "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    index_matches_cache
    # Every few rounds a whole measurement, which must always pair them.
    if [ $((r % 10)) = 0 ]; then
        "$cli" measure H: >/dev/null 2>&1 || problem "a measurement after kills failed"
        index_matches_cache
    fi
done

echo "reads: $reads readers against measurements in progress"
done_reads=0
while [ "$done_reads" -lt "$reads" ]; do
    change_files "x$done_reads"
    "$cli" measure H: >/dev/null 2>&1 &
    writer=$!
    for verb in "tree H:" "files H: --top 50" "types H:" "rank H: --by size" "changes H:" "ls H:\\a1\\" \
        "files H: --name f" "changes H: --files"; do
        # shellcheck disable=SC2086
        "$cli" $verb >/dev/null 2>"$work/read.err"
        st=$?
        [ "$st" -le 2 ] || problem "$verb ended with $st: $(head -c 300 "$work/read.err")"
        done_reads=$((done_reads + 1))
    done
    wait "$writer"
    st=$?
    [ "$st" -le 1 ] || problem "a measurement ended with $st"
done
index_matches_cache

echo "hostile.sh: $kills kills, $done_reads concurrent reads, $problems problems"
exit $((problems > 0))
