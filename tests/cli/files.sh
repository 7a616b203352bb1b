#!/bin/bash
# norvessa-cli files and types from a script: the largest files and the
# totals by extension come from the file index of the last measurement,
# never from the disk; bad values print nothing and exit 1.
# Usage: files.sh path/to/norvessa-cli
source "$(dirname "$0")/support.sh" "$1"
make_drive G
mkdir -p "$work/g/photos/2024" "$work/g/docs" "$work/g/bin"
head -c 300000 /dev/zero >"$work/g/photos/2024/DSC_0001.JPG"
head -c 200000 /dev/zero >"$work/g/photos/2024/dsc_0002.jpg"
head -c 100000 /dev/zero >"$work/g/docs/report > final.pdf"
head -c 5000 /dev/zero >"$work/g/docs/notes.txt"
head -c 70000 /dev/zero >"$work/g/bin/tool"
chmod 755 "$work/g/bin/tool"
touch -d '2001-01-01' "$work/g/docs/notes.txt"

refusal_must_explain=1
refusal_prints_nothing=1

check "files before any measurement" 1 "$cli" files G:
grep -q "measure" "$work/err" || fail "the message does not say to measure"
check "measure G:" 0 "$cli" measure G:

check "top 2" 0 "$cli" files G: --top 2
[ "$(cut -f1 "$work/out")" = $'G:\\photos\\2024\\DSC_0001.JPG\nG:\\photos\\2024\\dsc_0002.jpg' ] || fail "top 2: $(cat "$work/out")"
grep -qE $'^G:\\\\photos\\\\2024\\\\DSC_0001.JPG\t300000\t[0-9]+\t[0-9]{4}/[0-9]{2}/[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}$' "$work/out" \
    || fail "line format: $(head -1 "$work/out")"
check "below a folder" 0 "$cli" files 'G:\docs\'
[ "$(wc -l <"$work/out")" = 2 ] && head -1 "$work/out" | grep -q 'report > final.pdf' || fail "below docs: $(cat "$work/out")"
check "by extension" 0 "$cli" files G: --ext JPG,pdf
[ "$(wc -l <"$work/out")" = 3 ] || fail "--ext: $(cat "$work/out")"
check "full-width name" 0 "$cli" files G: --name 'ＤＳＣ'
[ "$(wc -l <"$work/out")" = 2 ] || fail "--name ＤＳＣ: $(cat "$work/out")"
check "on the path" 0 "$cli" files G: --name '*2024*' --path
[ "$(wc -l <"$work/out")" = 2 ] || fail "--path: $(cat "$work/out")"
check "older than" 0 "$cli" files G: --older-than 3650
[ "$(cut -f1 "$work/out")" = 'G:\docs\notes.txt' ] || fail "--older-than: $(cat "$work/out")"
check "min size" 0 "$cli" files G: --min-size 100000
[ "$(wc -l <"$work/out")" = 3 ] || fail "--min-size: $(cat "$work/out")"
check "by date" 0 "$cli" files G: --by modified
[ "$(tail -1 "$work/out" | cut -f1)" = 'G:\docs\notes.txt' ] || fail "--by modified: the oldest is not last"
for bad in "--top 0" "--top x" "--top -3" "--min-size -1" "--by name" "--ext ,," "--older-than x"; do
    # shellcheck disable=SC2086
    check "files $bad refused" 1 "$cli" files G: $bad
done
check "files --fast refused as a usage mistake" 2 "$cli" files G: --fast
check "files of a folder never measured" 1 "$cli" files "$work"

check "types" 0 "$cli" types G:
head -1 "$work/out" | grep -qP '^jpg\timage\t2\t500000\t[0-9]+$' || fail "types first row: $(cat "$work/out")"
grep -qP '^\texecutable\t1\t70000\t' "$work/out" || fail "an execute bit without an extension: $(cat "$work/out")"
check "types by kind" 0 "$cli" types G: --by-kind
grep -qP '^document\t2\t105000\t' "$work/out" || fail "types by kind: $(cat "$work/out")"

# What the tool deletes or moves leaves the lists at once, without a new
# measurement: a file, and a folder with everything below it.
check "delete a file" 0 "$cli" delete 'G:\photos\2024\dsc_0002.jpg'
check "files after the delete" 0 "$cli" files G:
grep -q 'dsc_0002' "$work/out" && fail "a deleted file is still listed"
mkdir -p "$work/elsewhere"
XDG_DATA_HOME=$work/xdg check "move a folder" 0 "$cli" move 'G:\docs' "$work/elsewhere"
check "files after the move" 0 "$cli" files G:
grep -q 'docs' "$work/out" && fail "a moved folder's files are still listed: $(cat "$work/out")"
[ "$(wc -l <"$work/out")" = 2 ] || fail "after delete and move: $(cat "$work/out")"

# A measurement that stopped writing indexes leaves the old one stale.
check "measure without the index" 0 "$cli" measure --no-index G:
check "files after a measurement without one" 1 "$cli" files G:
check "types likewise" 1 "$cli" types G:

finish
