#!/usr/bin/env bash
# The walk on a cold cache: drops the page cache before every timed run and
# times, in turns over several rounds, "norvessa-cli measure", the floor
# walker of bench/floor_walk.cpp at 2, 8, 16 and 32 threads, du, ncdu and
# gdu, on /usr and on a generated tree of 300,000 files. Prints medians and
# the ratios to the best floor and to the fastest peer.
#
#   bench/cold.sh            5 rounds
#   ROUNDS=3 bench/cold.sh
#
# Dropping the page cache needs root (echo 3 > /proc/sys/vm/drop_caches); the
# script says so and stops otherwise. It slows down everything else on the
# machine for a moment, every run.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
rounds=${ROUNDS:-5}
note() { printf '%s\n' "$*" >&2; }
if ((EUID != 0)) || ! { sync && echo 3 >/proc/sys/vm/drop_caches; } 2>/dev/null; then
    note "cold.sh: dropping the page cache needs root (and a kernel that allows it); nothing was timed"
    exit 1
fi

missing=()
command -v ncdu >/dev/null || missing+=(ncdu)
command -v gdu >/dev/null || missing+=(gdu)
if ((${#missing[@]})); then
    note "installing ${missing[*]}"
    apt-get install -y "${missing[@]}" >/dev/null || note "apt-get failed; going on without ${missing[*]}"
fi

note "building norvessa-cli and floor_walk (release)"
{ cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null &&
    cmake --build build/release --target norvessa-cli floor_walk >/dev/null; } || { note "the build failed"; exit 1; }
work=$(mktemp -d "${TMPDIR:-/tmp}/nrvs-cold.XXXXXX") || exit 1
trap 'rm -rf "$work"' EXIT
trap 'exit 130' INT TERM
# One copy of the tool per measured tree, so that its cache holds that tree
# alone, as the peers keep nothing of the other tree either.
mkdir -p "$work/usr-tool" "$work/tree-tool"
cp build/release/norvessa-cli "$work/usr-tool/norvessa-cli"
cp build/release/norvessa-cli "$work/tree-tool/norvessa-cli"
floor=build/release/bench/floor_walk

note "generating 300,000 files in 30,000 folders"
python3 - "$work/tree" <<'PY'
import os, random, sys
top = sys.argv[1]
rnd = random.Random(20261207)
blob = os.urandom(16384)
folders = [top]
os.makedirs(top)
for i in range(30000):
    parent = folders[rnd.randrange(len(folders))] if len(folders) > 20 else top
    d = os.path.join(parent, "d%05d" % i)
    os.mkdir(d)
    folders.append(d)
    for k in range(10):
        with open(os.path.join(d, "f%d.dat" % k), "wb") as f:
            f.write(blob[: rnd.randrange(0, 16384)])
PY
sync

now() { echo "${EPOCHREALTIME/./}"; }
declare -A times
tools=(norvessa floor2 floor8 floor16 floor32 du ncdu gdu)
run() { # tool dir
    local cmd
    case $1 in
    norvessa)
        local tool=$work/tree-tool/norvessa-cli
        [[ $2 == /usr ]] && tool=$work/usr-tool/norvessa-cli
        cmd=("$tool" measure "$2")
        ;;
    floor*) cmd=("$floor" "$2" "${1#floor}") ;;
    du) cmd=(du -x -s -B1 "$2") ;;
    ncdu) command -v ncdu >/dev/null || return; cmd=(ncdu -0 -x -o /dev/null "$2") ;;
    gdu) command -v gdu >/dev/null || return; cmd=(gdu -n -x -p "$2") ;;
    esac
    sync
    echo 3 >/proc/sys/vm/drop_caches
    local t0 t1
    t0=$(now)
    "${cmd[@]}" >/dev/null 2>&1
    t1=$(now)
    times[$1|$2]+="$(((t1 - t0) / 1000)) "
}
for ((r = 0; r < rounds; r++)); do
    note "round $((r + 1)) of $rounds"
    for dir in /usr "$work/tree"; do
        n=${#tools[@]}
        for ((k = 0; k < n; k++)); do run "${tools[$(((k + r) % n))]}" "$dir"; done
    done
done

median() { tr ' ' '\n' | grep -v '^$' | sort -n | awk '{a[NR]=$1} END {if (NR) print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2; else print ""}'; }
for dir in /usr "$work/tree"; do
    label=$dir
    [[ $dir == "$work/tree" ]] && label="generated tree (300,000 files)"
    printf '\n%s, cold cache, %d rounds\n' "$label" "$rounds"
    printf '  %-22s %10s\n' tool "median s"
    best_floor="" fastest_peer=""
    for tool in "${tools[@]}"; do
        m=$(median <<<"${times[$tool|$dir]:-}")
        [[ -z $m ]] && continue
        printf '  %-22s %10.3f\n' "$tool" "$(awk "BEGIN{print $m/1000}")"
        case $tool in
        floor*) [[ -z $best_floor || $m -lt $best_floor ]] && best_floor=$m ;;
        du | ncdu | gdu) [[ -z $fastest_peer || $m -lt $fastest_peer ]] && fastest_peer=$m ;;
        esac
    done
    own=$(median <<<"${times[norvessa|$dir]}")
    printf '  norvessa / best floor: %.2f (goal: at most 1.15)\n' "$(awk "BEGIN{print $own/$best_floor}")"
    [[ -n $fastest_peer ]] && printf '  norvessa / fastest peer: %.2f (goal: at most 0.45)\n' "$(awk "BEGIN{print $own/$fastest_peer}")"
done
