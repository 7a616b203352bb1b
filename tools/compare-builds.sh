#!/usr/bin/env bash
# Runs two builds of the command-line tool through the same session on the
# same generated tree and compares everything they wrote and printed: caches,
# file indexes, the previous measurement, volume and import notes, rankings,
# exports (HTML, CSV, ncdu JSON), treemap pictures and every verb's output.
# A rework that should change no behaviour must leave no difference.
#
#   tools/compare-builds.sh OLD_BUILD_DIR NEW_BUILD_DIR
#
# Each build folder holds norvessa-cli, norvessa-import and norvessa-treemap
# (a release build: build/release). Where it holds the window program too and
# xvfb-run is here, the windows are opened and closed once on the drive
# (tools/windows-session.sh), so that the settings, the ranking's choices and
# the monitors' files they write are compared as well. Times of day, durations and free space
# differ from run to run and are masked in text files; binary files are
# compared byte for byte.
set -euo pipefail
old=$1 new=$2
here=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d /var/tmp/nrvs-compare.XXXXXX)
[ -n "${KEEP:-}" ] || trap 'chmod -R u+w "$work" 2>/dev/null; rm -rf "$work"' EXIT

# One tree for both, copied with its times so that both measure the same.
python3 "$here/bench/gen_tree.py" "$work/template" 3000 300 >/dev/null
mkdir -p "$work/template/links"
printf 'shared' >"$work/template/links/a"
ln "$work/template/links/a" "$work/template/links/b"
printf 'x' >"$work/template/links/=formula.csv"
mkdir -p "$work/template/<script>&odd" && printf 'y' >"$work/template/<script>&odd/n"

run_side() { # side build
    # Both run in the same place, since paths are printed and kept.
    local side=$1 build=$2 bin=$work/run/bin out=$work/run/out
    mkdir -p "$bin" "$out"
    cp "$build/norvessa-cli" "$build/norvessa-import" "$build/norvessa-treemap" "$bin/"
    touch "$bin/norvessa.portable"
    rm -rf "$work/tree" && cp -a "$work/template" "$work/tree"
    { for i in $(seq 0 51); do if [ "$i" = 6 ]; then echo "$work/tree"; else echo; fi; done; } >"$bin/norvessa.drv"
    local cli=$bin/norvessa-cli n=0
    step() { n=$((n + 1)); (cd "$bin" && "$cli" "$@") >"$out/$(printf %02d $n).out" 2>&1 || echo "status $?" >>"$out/$(printf %02d $n).out"; }
    step measure G:
    step tree G:
    step ls 'G:\'
    step files G: --top 100
    step files G: --by modified --top 20 --name '*a*'
    step types G:
    step types G: --by-kind
    for k in 0 1 2 3 4 5 6 7 8; do step rank G: --by $k --top 30; done
    step rank G: --filters 00000 --exclude 'G:\links\' --top 50
    step sim 'G:\' --cluster 65536
    step export G: --tree "$out/tree.html" --format html --links
    step export G: --tree "$out/tree.csv" --format csv
    step export G: --tree "$out/tree-plain.csv" --format csv --plain --no-sizes
    # The list of a folder below the root: the root's list has the drive's
    # free space, which other programs change.
    step export G: --list 'G:\links\' "$out/list.html" --format html
    step export G: --list 'G:\links\' "$out/list.csv" --format csv
    step export G: --format ncdu --out "$out/g.json"
    step import "$out/g.json" --as S: --host elsewhere
    step tree S:
    step files S: --top 50
    step treemap G: --size 400x300 --out "$out/map.png"
    # A second measurement after changes: the previous one is kept.
    rm -rf "$work/tree/links"
    printf '%4096s' x >"$work/tree/grown.bin"
    touch -d '2026-01-02 03:04:05' "$work/tree/grown.bin" "$work/tree"
    step measure G:
    step changes G:
    step changes G: --files
    local sub
    sub=$(cd "$work/tree" && find . -mindepth 2 -maxdepth 2 -type d | sort | head -1)
    printf 'more' >"$work/tree/$sub/added.txt"
    touch -d '2026-01-02 03:04:05' "$work/tree/$sub/added.txt" "$work/tree/$sub"
    step measure "$work/tree/$sub"
    step tree G:
    step files G: --top 100
    # The windows write the settings, the ranking's choices and the monitors'
    # places when they close: open each once on the drive and close it.
    if [ -x "$build/norvessa" ] && command -v xvfb-run >/dev/null; then
        cp "$build/norvessa" "$bin/"
        xvfb-run -a -s '-screen 0 1600x1000x24' bash -c \
            "openbox >/dev/null 2>&1 & sleep 1; bash '$here/tools/windows-session.sh' '$bin' '$work/tree'" >/dev/null 2>&1
        rm -f "$bin/norvessa"
    fi
    # Everything the tool keeps beside itself, but the programs.
    (cd "$bin" && find . -type f ! -name 'norvessa-*' ! -name '*.lock' -exec cp --parents {} "$out/" \;)
    mv "$work/run" "$work/$side"
}

run_side old "$old"
run_side new "$new"

# Times of day, durations and free space vary between the two runs.
mask() {
    sed -E -e 's#[0-9]{4}/[0-9]{2}/[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}#TIME#g' \
        -e 's#[0-9]{4}-[0-9]{2}-[0-9]{2}[ T][0-9]{2}:[0-9]{2}(:[0-9]{2})?#TIME#g' \
        -e 's#TIME=[0-9]{2}:[0-9]{2}:[0-9]{2}#TIME#g' -e 's#^TIME [0-9a-f]{16}#TIME ID#' \
        -e 's#"timestamp":[0-9]+#"timestamp":T#g' \
        -e 's#^(seconds|free|imported|scanned|scan|import)([ =\t]+).*#\1\2MASKED#' \
        -e 's#nrvs-compare\.[A-Za-z0-9]+#WORK#g' "$1"
}
status=0
while IFS= read -r f; do
    a=$work/old/out/$f b=$work/new/out/$f
    if [ ! -e "$b" ]; then echo "only in the old build: $f"; status=1; continue; fi
    if cmp -s "$a" "$b"; then continue; fi
    # A file index holds its cache's header line, which has the time and
    # the measurement's random id.
    if [[ $f == *.idx ]] && cmp -s <(head -c 120 "$a"; tail -c +241 "$a") <(head -c 120 "$b"; tail -c +241 "$b"); then
        continue
    fi
    if grep -Iq . "$a"; then
        if ! diff <(mask "$a") <(mask "$b") >"$work/diff"; then
            echo "differs: $f"; head -20 "$work/diff"; status=1
        fi
    else
        echo "differs (binary): $f"; status=1
    fi
done < <(cd "$work/old/out" && find . -type f | sort)
while IFS= read -r f; do
    [ -e "$work/old/out/$f" ] || { echo "only in the new build: $f"; status=1; }
done < <(cd "$work/new/out" && find . -type f | sort)
count=$(cd "$work/old/out" && find . -type f | wc -l)
[ $status = 0 ] && echo "compare-builds: $count files and outputs alike"
exit $status
