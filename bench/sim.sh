#!/usr/bin/env bash
# Times "norvessa-cli sim DIR --cluster 4096" against "norvessa-cli measure
# DIR" on the same folder (default /usr), in one run, and prints medians and
# the ratio. The simulation walks every subfolder again as the measurement
# does, so the goal is to stay within 1.2 times the measurement.
#
#   bench/sim.sh [DIR]     ROUNDS (default 7), NORVESSA_CLI as in measure.sh
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
. bench/common.sh
dir=${1:-/usr}
rounds=${ROUNDS:-7}
work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT
# A copy of its own: the measurement writes its cache beside the executable.
cli=$(prepare_cli "$work") || exit 1
declare -A times
# Warm-up: both see a warm page cache.
"$cli" measure "$dir" >/dev/null 2>&1
"$cli" sim "$dir" --cluster 4096 >/dev/null 2>&1
for ((r = 0; r < rounds; r++)); do
    if ((r % 2)); then
        run_timed sim "$cli" sim "$dir" --cluster 4096
        run_timed measure "$cli" measure "$dir"
    else
        run_timed measure "$cli" measure "$dir"
        run_timed sim "$cli" sim "$dir" --cluster 4096
    fi
done
mm=$(median <<<"${times[measure]}")
sm=$(median <<<"${times[sim]}")
printf '\n%-36s %10s %16s\n' "$dir ($rounds rounds)" "median s" "min..max s"
printf '%-36s %10.3f %16s\n' "norvessa-cli measure" "$(awk "BEGIN{print $mm/1000}")" "$(range <<<"${times[measure]}")"
printf '%-36s %10.3f %16s\n' "norvessa-cli sim --cluster 4096" "$(awk "BEGIN{print $sm/1000}")" "$(range <<<"${times[sim]}")"
printf 'sim / measure: %.2f (goal: at most 1.2)\n' "$(awk "BEGIN{print $sm/$mm}")"
