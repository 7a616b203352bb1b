#!/bin/bash
# norvessa-cli copy, move, delete and measure from a script: malformed paths
# are refused with a message and status 1, and nothing is written for them.
# Usage: operations.sh path/to/norvessa-cli
source "$(dirname "$0")/support.sh" "$1"
make_drive G
mkdir -p "$work/g/src/sub" "$work/g/dst"
printf 'aaa' >"$work/g/src/a.txt"
printf 'bb' >"$work/g/src/sub/b.txt"

for bad in 'G:foo' 'G:\..\' 'G:\\' 'G:\/etc\' 'G:\src\a.txt' 'G:\nothing\'; do
    check "measure $bad is refused" 1 "$cli" measure "$bad"
done
[ -s "$work/err" ] || fail "no message for a refused path"
for f in "$work"/bin/NRVS_*.txt; do
    [ -e "$f" ] && fail "a refused measurement wrote $f"
done
check "measure G:" 0 "$cli" measure 'G:'
grep -q '^G:\\src\\sub\\' "$work/bin/NRVS_G.txt" || fail "cache lacks G:\\src\\sub\\"

check "copy a tree" 0 "$cli" copy 'G:\src\' 'G:\dst\'
[ "$(cat "$work/g/dst/src/sub/b.txt")" = bb ] || fail "copy"
check "copy by native paths" 0 "$cli" copy "$work/g/src/a.txt" "$work/g/dst/"
check "copy onto itself" 1 "$cli" copy 'G:\src\a.txt' 'G:\src\'
check "copy into a missing folder" 1 "$cli" copy 'G:\src\a.txt' 'G:\missing\'
check "delete the root" 1 "$cli" delete 'G:\'
check "delete through a doubled separator" 1 "$cli" delete 'G:\\'
check "move the root" 1 "$cli" move 'G:\\' 'G:\dst\'
[ -f "$work/g/src/a.txt" ] || fail "the drive lost files"
XDG_DATA_HOME=$work/xdg check "move into the trash after copying" 0 "$cli" move 'G:\src\sub\' 'G:\dst\'
[ ! -e "$work/g/src/sub" ] && [ -f "$work/xdg/Trash/files/sub/b.txt" ] || fail "move"
check "copy with progress" 0 "$cli" copy --progress 'G:\dst\src\' 'G:\'
[ "$(cat "$work/g/src/a.txt")" = aaa ] || fail "copy with progress"
check "delete for good" 0 "$cli" delete --progress 'G:\dst\src\'
[ ! -e "$work/g/dst/src" ] || fail "delete"
check "delete what is not there" 1 "$cli" delete 'G:\dst\src\'
grep -q 'delete' "$work/err" || fail "no message for a failed delete"

# What the tool deletes or moves away leaves the cache as a measurement of
# what is left would write it.
mkdir -p "$work/g/rm/in/deeper"
head -c 70000 /dev/zero >"$work/g/rm/big.bin"
printf 'small' >"$work/g/rm/small.txt"
printf 'deeper' >"$work/g/rm/in/deeper/d.txt"
printf 'moved' >"$work/g/rm/in/m.txt"
check "measure before removing" 0 "$cli" measure 'G:'
check "delete a file" 0 "$cli" delete 'G:\rm\big.bin'
XDG_DATA_HOME=$work/xdg check "trash a folder" 0 "$cli" delete --trash 'G:\rm\in\deeper\'
check "move a file" 0 "$cli" move 'G:\rm\in\m.txt' "$work/"
check "tree after removing" 0 "$cli" tree 'G:'
tail -n +2 "$work/out" >"$work/removed.tree"
check "measure after removing" 0 "$cli" measure 'G:'
check "tree measured" 0 "$cli" tree 'G:'
tail -n +2 "$work/out" | diff "$work/removed.tree" - >"$work/tree.diff" \
    || { fail "removal left the cache stale"; cat "$work/tree.diff"; }

check "info of a drive" 0 "$cli" info 'G:'
[ "$(grep -c $'\t' "$work/out")" = 20 ] && grep -q $'^ドライブレター\tG$' "$work/out" \
    && grep -qE $'^シリアルナンバ\t[0-9A-F]{8}$' "$work/out" || fail "info rows"
check "info of a folder that is not there" 1 "$cli" info 'G:\nothing\'
check "monitor rows" 0 "$cli" monitor
head -1 "$work/out" | grep -q $'^Drive\tTotal\tFree\t%$' || fail "monitor header"
if grep -qvE $'^(Drive\t| [A-Z]:( [A-Z]:)*\t([0-9.,]+[KMGT]?B|-)\t([0-9.,]+[KMGT]?B|-)\t([0-9,]*\.[0-9]{2}|-)$)' "$work/out"; then
    fail "monitor row format"; cat "$work/out"
fi
mkdir -p "$work/g/mon/in"
printf 'cccc' >"$work/g/mon/c.txt"
printf 'ddd' >"$work/g/mon/in/d.txt"
check "monitor a folder" 0 "$cli" monitor --folder 'G:\mon\'
[ "$(cut -f2,4,5 "$work/out")" = "$(printf '7\t2\t1')" ] || { fail "folder count"; cat "$work/out"; }
check "monitor a folder that is not there" 1 "$cli" monitor --folder 'G:\gone\'

# A FIFO is not copied: the copy says so and fails, and a move keeps its source.
mkdir -p "$work/g/pipes" "$work/g/dst2"
mkfifo "$work/g/pipes/p"
printf 'f' >"$work/g/pipes/f"
check "copy a tree holding a FIFO" 1 "$cli" copy 'G:\pipes\' 'G:\dst\'
grep -q 'pipes/p: FIFOはコピーされません' "$work/err" || fail "no word of the FIFO"
check "copy a FIFO" 1 "$cli" copy 'G:\pipes\p' 'G:\dst2\'
XDG_DATA_HOME=$work/xdg check "move a tree holding a FIFO" 1 "$cli" move 'G:\pipes\' 'G:\dst2\'
[ -p "$work/g/pipes/p" ] && [ -f "$work/g/pipes/f" ] && grep -q 'the source stays' "$work/err" \
    || { fail "the move lost its source"; cat "$work/err"; }

# Letter H: is the folder g/h: no spelling through G: deletes or moves it.
mkdir -p "$work/g/h"
printf 'keep' >"$work/g/h/keep"
make_drive H "$work/g/h"
XDG_DATA_HOME=$work/xdg check "trash another drive's root" 1 "$cli" delete 'G:\h\' --trash
grep -q 'ドライブ H: のルート' "$work/err" || { fail "no word of the drive"; cat "$work/err"; }
check "delete another drive's root" 1 "$cli" delete 'G:\h\'
XDG_DATA_HOME=$work/xdg check "move another drive's root" 1 "$cli" move 'G:\h\' 'G:\dst2\'
check "delete a drive's root by its letter" 1 "$cli" delete 'H:\'
[ "$(cat "$work/g/h/keep")" = keep ] && [ ! -e "$work/g/dst2/h" ] || fail "the drive H: was touched"

finish
