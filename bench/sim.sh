#!/usr/bin/env bash
# Times "norvessa-cli sim DIR --cluster 4096" against "norvessa-cli measure
# DIR" on the same folder (default /usr), in one run, and prints medians and
# the ratio. The simulation walks every subfolder again as the measurement
# does, so the goal is to stay within 1.2 times the measurement.
#
#   bench/sim.sh [DIR]     ROUNDS (default 7), NORVESSA_CLI as in measure.sh
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
# Warm-up: both see a warm page cache.
"$cli" measure "$dir" >/dev/null 2>&1
"$cli" sim "$dir" --cluster 4096 >/dev/null 2>&1
for ((r = 0; r < rounds; r++)); do
    if ((r % 2)); then
        run sim "$cli" sim "$dir" --cluster 4096
        run measure "$cli" measure "$dir"
    else
        run measure "$cli" measure "$dir"
        run sim "$cli" sim "$dir" --cluster 4096
    fi
done
median() { tr ' ' '\n' | grep -v '^$' | sort -n | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }
range() { tr ' ' '\n' | grep -v '^$' | sort -n | awk 'NR==1{lo=$1} {hi=$1} END {printf "%.3f..%.3f", lo/1000, hi/1000}'; }
mm=$(median <<<"${times[measure]}")
sm=$(median <<<"${times[sim]}")
printf '\n%-36s %10s %16s\n' "$dir ($rounds rounds)" "median s" "min..max s"
printf '%-36s %10.3f %16s\n' "norvessa-cli measure" "$(awk "BEGIN{print $mm/1000}")" "$(range <<<"${times[measure]}")"
printf '%-36s %10.3f %16s\n' "norvessa-cli sim --cluster 4096" "$(awk "BEGIN{print $sm/1000}")" "$(range <<<"${times[sim]}")"
printf 'sim / measure: %.2f (goal: at most 1.2)\n' "$(awk "BEGIN{print $sm/$mm}")"
