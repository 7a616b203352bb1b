#!/bin/bash
# norvessa-cli changes from a script: what changed between the previous and
# the current measurement, folders or files, ordered and cut as asked; no
# previous measurement, or one that is damaged, exits 1 with a message.
# Usage: changes.sh path/to/norvessa-cli
source "$(dirname "$0")/support.sh" "$1"
make_drive G
mkdir -p "$work/g/grow" "$work/g/gone" "$work/g/same"
head -c 1000 /dev/zero >"$work/g/grow/a.bin"
head -c 300 /dev/zero >"$work/g/gone/x.bin"
head -c 5 /dev/zero >"$work/g/same/z.bin"

refusal_must_explain=1
refusal_prints_nothing=1

check "before any measurement" 1 "$cli" changes G:
check "measure" 0 "$cli" measure G:
check "no previous measurement" 1 "$cli" changes G:
grep -q "no previous measurement" "$work/err" || fail "the message: $(cat "$work/err")"

sleep 1
head -c 9000 /dev/zero >"$work/g/grow/a.bin"
rm -r "$work/g/gone"
mkdir -p "$work/g/new"$'\xff'
head -c 70 /dev/zero >"$work/g/new"$'\xff'"/n.bin"
check "measure again" 0 "$cli" measure G:

check "changes" 0 "$cli" changes G:
grep -q "^$(printf 'G:\\\\grow\\\\\t1000\t9000\t')" "$work/out" || fail "grow line: $(cat "$work/out")"
[ "$(head -1 "$work/out" | cut -f1)" = 'G:\grow\' ] || fail "largest first: $(cat "$work/out")"
grep -q "^$(printf 'G:\\\\gone\\\\\t300\t\t')[0-9]*$(printf '\t\t1\t')\$" "$work/out" || fail "removed folder: $(grep gone "$work/out")"
LC_ALL=C grep -q "^G:\\\\new.\\\\$(printf '\t\t70\t\t')" "$work/out" || fail "new folder with an odd name: $(cat "$work/out")"
grep -q 'same' "$work/out" && fail "an unchanged folder is listed"
[ "$(wc -l <"$work/out")" = 4 ] || fail "four folders changed (root included): $(cat "$work/out")"
check "top 1" 0 "$cli" changes G: --top 1
[ "$(wc -l <"$work/out")" = 1 ] || fail "--top 1: $(cat "$work/out")"
check "by files" 0 "$cli" changes G: --by files
[ "$(cut -f1 "$work/out" | tr '\n' ' ')" = $'G:\\gone\\ G:\\new\xff\\ G:\\ G:\\grow\\ ' ] || fail "--by files: by the change of files, ties by path: $(cat "$work/out")"
check "below a folder that is gone" 0 "$cli" changes 'G:\gone\'
[ "$(cut -f1 "$work/out")" = 'G:\gone\' ] || fail "below gone: $(cat "$work/out")"
check "files" 0 "$cli" changes G: --files
[ "$(head -1 "$work/out")" = "$(printf 'G:\\grow\\a.bin\t1000\t9000')" ] || fail "--files: $(cat "$work/out")"
grep -q "$(printf 'G:\\\\gone\\\\x.bin\t300\t')\$" "$work/out" || fail "--files vanished: $(cat "$work/out")"
for bad in "--top 0" "--top x" "--by name" "--files --by files"; do
    # shellcheck disable=SC2086
    check "changes $bad refused" 1 "$cli" changes G: $bad
done
check "changes --fast refused as a usage mistake" 2 "$cli" changes G: --fast

# An import under the letter starts its history afresh: no measurement of
# the folder that had the letter is its "before", and it is the "before" of
# no measurement of a folder given the letter again.
if [ -x "$(dirname "$cli_src")/norvessa-import" ]; then cp "$(dirname "$cli_src")/norvessa-import" "$work/bin/"; fi
printf '[1,2,{"progname":"ncdu","progver":"1.18","timestamp":1700000000},[{"name":"/srv"},{"name":"a.bin","asize":5,"dsize":4096}]]' >"$work/scan.json"
check "import over G:" 0 "$cli" import "$work/scan.json" --as G: --force
check "changes of an import" 1 "$cli" changes G:
grep -q "no previous measurement" "$work/err" || fail "changes of an import: $(cat "$work/err")"
make_drive G
check "measure G: after an import" 0 "$cli" measure G:
check "changes since an import" 1 "$cli" changes G:
grep -q "another drive (/srv → " "$work/err" || fail "changes since an import: $(cat "$work/err")"

prev=$("$cli" paths | sed -n 's/^previous measurements\t\(.*\)NRVS_<letter>.txt$/\1/p')
[ -f "$prev/NRVS_G.txt" ] || fail "no previous cache in $prev"
printf 'garbage\r\n' >"$prev/NRVS_G.txt"
check "damaged previous" 1 "$cli" changes G:
grep -q "damaged" "$work/err" || fail "damaged: $(cat "$work/err")"

finish
