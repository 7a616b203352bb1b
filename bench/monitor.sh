#!/usr/bin/env bash
# The monitors' work timed against peers in one run:
#  - the folder monitor's count of a folder (default /usr), one walker
#    thread so that it stays in the background, against du -x -s -B1 and
#    against the full measurement (norvessa-cli measure, several threads);
#  - the drive monitor's refresh of every fixed disk against df.
# Prints medians, min..max and peer/Norvessa ratios (above 1: Norvessa is
# faster).
#
#   bench/monitor.sh [DIR]     ROUNDS (default 7), NORVESSA_CLI as in measure.sh
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
dir=${1:-/usr}
rounds=${ROUNDS:-7}
note() { printf '%s\n' "$*" >&2; }
cli_src=${NORVESSA_CLI:-build/release/norvessa-cli}
if [[ -z ${NORVESSA_CLI:-} ]]; then
    note "building $cli_src (release)"
    { cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null &&
        cmake --build build/release --target norvessa-cli >/dev/null; } || { note "the build failed"; exit 1; }
fi
work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT
# A copy of its own: the measurement writes its cache beside the executable.
cp "$cli_src" "$work/norvessa-cli"
cli=$work/norvessa-cli
now() { echo "${EPOCHREALTIME/./}"; }
declare -A times
run() { # key command...
    local key=$1
    shift
    local t0 t1
    t0=$(now)
    "$@" >/dev/null 2>"$work/err" || { note "$key failed:"; head -3 "$work/err" >&2; }
    t1=$(now)
    times[$key]+="$(((t1 - t0) / 1000)) "
}
keys=(count du measure refresh df)
cmd() {
    case $1 in
    count) run count "$cli" monitor --folder "$dir" ;;
    du) run du du -x -s -B1 "$dir" ;;
    measure) run measure "$cli" measure "$dir" ;;
    refresh) run refresh "$cli" monitor ;;
    df) run df df -B1 -l ;;
    esac
}
# Warm-up: everyone sees a warm page cache.
for k in "${keys[@]}"; do cmd "$k"; done
for k in "${keys[@]}"; do times[$k]=""; done
for ((r = 0; r < rounds; r++)); do
    # The tool that starts a round rotates, so that noise falls on all alike.
    for ((i = 0; i < ${#keys[@]}; i++)); do cmd "${keys[$(((i + r) % ${#keys[@]}))]}"; done
done
median() { tr ' ' '\n' | grep -v '^$' | sort -n | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }
range() { tr ' ' '\n' | grep -v '^$' | sort -n | awk 'NR==1{lo=$1} {hi=$1} END {printf "%.3f..%.3f", lo/1000, hi/1000}'; }
line() { # label key [baseline-key...]: ratios baseline/this
    local label=$1 key=$2 m b k
    shift 2
    m=$(median <<<"${times[$key]}")
    printf '%-40s %10.3f %16s' "$label" "$(awk "BEGIN{print $m/1000}")" "$(range <<<"${times[$key]}")"
    for k in "$@"; do
        b=$(median <<<"${times[$k]}")
        printf '   %s/this: %.2f' "$k" "$(awk "BEGIN{print ($m > 0) ? $b/$m : 0}")"
    done
    printf '\n'
}
printf '\n%-40s %10s %16s\n' "$dir ($rounds rounds)" "median s" "min..max s"
line "du -x -s -B1" du
line "norvessa-cli measure (all threads)" measure
line "norvessa-cli monitor --folder (1 thread)" count du measure
printf '\n%-40s %10s %16s\n' "fixed disks" "median s" "min..max s"
line "df -B1 -l" df
line "norvessa-cli monitor" refresh df
printf '\nTotals seen: folder count (path, bytes, occupied, files, folders):\n  '
"$cli" monitor --folder "$dir"
printf '  du -x -s -B1 (occupied, folders included): %s\n' "$(du -x -s -B1 "$dir" | cut -f1)"
