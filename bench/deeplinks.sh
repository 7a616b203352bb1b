#!/usr/bin/env bash
# Times "norvessa-cli measure" of a tree that holds many names of one file
# in folders below a deep chain (NAMES names below DEPTH levels), with links
# counted once, against "--count-links" (every name counted, no owner to
# choose) and against "du -s" (links once) and "du -sl" (every name), in one
# run; prints medians and the ratios. Choosing each file's owner must cost
# about as much as counting every name.
#
#   bench/deeplinks.sh      DEPTH (default 4000), NAMES (default 10000), ROUNDS (default 5),
#                           NORVESSA_CLI as in measure.sh
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
. bench/common.sh
depth=${DEPTH:-4000}
names=${NAMES:-10000}
rounds=${ROUNDS:-5}
work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT
cli=$(prepare_cli "$work") || exit 1
tree=$work/tree
python3 - "$tree" "$depth" "$names" <<'PY' || exit 1
import os, sys
root, depth, names = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
os.makedirs(root)
with open(os.path.join(root, "f"), "w") as f:
    f.write("x" * 5000)
top = os.open(root, os.O_RDONLY)
fd = os.open(root, os.O_RDONLY)
for _ in range(depth):
    os.mkdir("d", dir_fd=fd)
    below = os.open("d", os.O_RDONLY, dir_fd=fd)
    os.close(fd)
    fd = below
for i in range(names):
    os.mkdir("n%d" % i, dir_fd=fd)
    os.link("f", "n%d/f" % i, src_dir_fd=top, dst_dir_fd=fd)
PY
declare -A times
"$cli" measure --no-index "$tree" >/dev/null 2>&1
for ((r = 0; r < rounds; r++)); do
    run_timed once "$cli" measure --no-index "$tree"
    run_timed every "$cli" measure --no-index --count-links "$tree"
    run_timed du du -s "$tree"
    run_timed dul du -sl "$tree"
done
printf '\n%-44s %10s %16s\n' "$names names below $depth levels ($rounds rounds)" "median s" "min..max s"
for k in once every du dul; do
    case $k in
    once) label="norvessa-cli measure (links once)" ;;
    every) label="norvessa-cli measure --count-links" ;;
    du) label="du -s (links once)" ;;
    dul) label="du -sl (every name)" ;;
    esac
    printf '%-44s %10.3f %16s\n' "$label" "$(awk "BEGIN{print $(median <<<"${times[$k]}")/1000}")" "$(range <<<"${times[$k]}")"
done
om=$(median <<<"${times[once]}")
printf 'once / every name: %.2f   du -s / norvessa (links once): %.2f\n' \
    "$(awk "BEGIN{print $om/$(median <<<"${times[every]}")}")" \
    "$(awk "BEGIN{print $(median <<<"${times[du]}")/$om}")"
