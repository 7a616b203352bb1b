#!/bin/bash
# norvessa-cli rank from a script: rows, order, options, the window's saved
# choices, and refusals with a message and a non-zero status.
# Usage: rank.sh path/to/norvessa-cli
source "$(dirname "$0")/support.sh" "$1"
make_drive G
make_drive H
# Sizes:occupied:own size:own occupied:own files:files:own folders:folders:A:H:R:S
printf '%s\r\n' \
  '2026/12/07 10:00:00=00:00:01' \
  'G:\ > 500000:600000:0:0:0:40:6:9:0:0:0:0' \
  'G:\.hidden\ > 900000:900000:900000:900000:5:5:0:0:0:1:0:0' \
  'G:\big\ > 100000:102400:100000:102400:1:1:0:0:0:0:0:0' \
  'G:\data\ > 50000:65536:50000:65536:3:4:1:1:0:0:0:0' \
  'G:\data\old\ > 7000:8192:7000:8192:1:1:0:0:0:0:0:0' \
  'G:\database\ > 20000:24576:20000:24576:2:2:0:0:0:0:0:0' \
  'G:\empty\ > 3000:4096:0:0:0:1:1:1:0:0:0:0' \
  'G:\empty\写真\ > 3000:4096:3000:4096:1:1:0:0:0:0:0:0' \
  'G:\small\ > 1000:8192:1000:8192:2:2:0:0:0:0:0:0' \
  'damaged line without numbers' \
  'G:\worse\ > x:y' >"$work/bin/NRVS_G.txt"

run() { # expected status, arguments...
    local want=$1
    shift
    check "rank $*" "$want" "$cli" rank "$@"
}
captions() { cut -f1 "$work/out" | tr '\n' '|'; }

run 0 G:
# The first opening's choices: by occupied size, ten rows, hidden, read-only,
# system and folders without own files left out.
[ "$(captions)" = '01 G:\big\|02 G:\data\|03 G:\database\|04 G:\data\old\|05 G:\small\|06 G:\empty\写真\|' ] ||
    fail "default ranking: $(captions)"
[ "$(head -1 "$work/out")" = "$(printf '01 G:\\big\\\t100000\t102400\t2400\t100000\t102400\t1\t1\t0\t0')" ] ||
    fail "row cells: $(head -1 "$work/out")"
[ "$(awk -F'\t' '{print NF}' "$work/out" | sort -u)" = 10 ] || fail "rows do not have ten cells"

run 0 G: --by 2 --top 3
[ "$(captions)" = '1 G:\data\|2 G:\small\|3 G:\database\|' ] || fail "by cluster gap: $(captions)"
run 0 G: --by 0 --top 100 --filters 00000
[ "$(head -2 "$work/out" | cut -f1 | tr '\n' '|')" = '001 G:\.hidden\|002 G:\big\|' ] || fail "no filters: $(captions)"
grep -q 'G:\\empty\\	' "$work/out" || fail "no filters: the folder without own files is missing"
grep -q 'G:\\worse\\	0	0' "$work/out" || fail "a damaged line does not rank with zeros"
run 0 G: --exclude-tree 'g:\DATA\'
! grep -q 'G:\\data\\' "$work/out" && grep -q 'G:\\database\\' "$work/out" || fail "exclude-tree: $(captions)"
run 0 G: --exclude "$work/g/data" --exclude 'G:\not\there\'
! grep -q 'G:\\data\\	' "$work/out" && grep -q 'G:\\data\\old\\' "$work/out" || fail "exclude alone: $(captions)"

# The window's saved choices: by size, Top 5, big excluded with subfolders.
printf '%s\r\n' 111110000 240 0 0 00000 '' '' '' '' '' '1=G:\big\' >"$work/bin/norvessa_G.rks"
run 0 G:
[ "$(captions)" = '1 G:\.hidden\|2 G:\data\|3 G:\database\|4 G:\data\old\|5 G:\empty\|' ] ||
    fail "saved choices: $(captions)"
run 0 G: --top 2 --exclude 'G:\.hidden\'
[ "$(captions)" = '1 G:\big\|2 G:\data\|' ] || fail "options over saved choices: $(captions)"

run 1 H:
grep -q 'not been measured' "$work/err" || fail "no message for a drive without cache"
run 2 G: --by 9
run 2 G: --top 0
run 2 G: --top
run 2 G: --filters 0101
run 2 G: --filters 0a011
run 2 G: --sideways
[ -s "$work/err" ] || fail "no message for a bad option"
run 1 'Q:'

finish
