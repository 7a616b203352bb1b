#!/usr/bin/env bash
# Times "norvessa-cli measure DIR" with hard links counted once (the default)
# against "--count-links" (every name counted), in one run, on the same
# folder (default /usr), and prints medians and the ratio: keeping files with
# several names aside must cost no measurable time.
#
#   bench/links.sh [DIR]     ROUNDS (default 9), NORVESSA_CLI as in measure.sh
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
. bench/common.sh
dir=${1:-/usr}
rounds=${ROUNDS:-9}
work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT
cli=$(prepare_cli "$work") || exit 1
declare -A times
"$cli" measure "$dir" >/dev/null 2>&1
for ((r = 0; r < rounds; r++)); do
    if ((r % 2)); then
        run_timed every "$cli" measure --count-links "$dir"
        run_timed once "$cli" measure "$dir"
    else
        run_timed once "$cli" measure "$dir"
        run_timed every "$cli" measure --count-links "$dir"
    fi
done
om=$(median <<<"${times[once]}")
em=$(median <<<"${times[every]}")
printf '\n%-40s %10s %16s %18s\n' "$dir ($rounds rounds)" "median s" "min..max s" "bytes"
printf '%-40s %10.3f %16s %18s\n' "measure (links once)" "$(awk "BEGIN{print $om/1000}")" "$(range <<<"${times[once]}")" \
    "$(awk '/^bytes/ {print $2}' "$work/out.once")"
printf '%-40s %10.3f %16s %18s\n' "measure --count-links (every name)" "$(awk "BEGIN{print $em/1000}")" \
    "$(range <<<"${times[every]}")" "$(awk '/^bytes/ {print $2}' "$work/out.every")"
printf 'once / every name: %.2f\n' "$(awk "BEGIN{print $om/$em}")"
echo "du -sb for comparison: $(du -sb "$dir" 2>/dev/null | cut -f1) (counts each folder's own size too)"
