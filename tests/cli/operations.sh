#!/bin/bash
# norvessa-cli copy, move, delete and measure from a script: malformed paths
# are refused with a message and status 1, and nothing is written for them.
# Usage: operations.sh path/to/norvessa-cli
set -u
cli_src=$1
work=$(mktemp -d)
trap 'chmod -R u+w "$work" 2>/dev/null; rm -rf "$work"' EXIT
mkdir -p "$work/bin" "$work/g/src/sub" "$work/g/dst"
cp "$cli_src" "$work/bin/norvessa-cli"
cli=$work/bin/norvessa-cli
# Letter G: is the folder g (line 6 of the map).
{ for i in $(seq 0 51); do if [ "$i" = 6 ]; then echo "$work/g"; else echo; fi; done; } >"$work/bin/norvessa.drv"
printf 'aaa' >"$work/g/src/a.txt"
printf 'bb' >"$work/g/src/sub/b.txt"

failures=0
check() { # description, expected status, command...
    local what=$1 want=$2
    shift 2
    "$@" >"$work/out" 2>"$work/err"
    local got=$?
    if [ "$got" != "$want" ]; then
        echo "FAIL: $what: status $got, expected $want"; cat "$work/err"; failures=$((failures + 1))
    fi
}

for bad in 'G:foo' 'G:\..\' 'G:\\' 'G:\/etc\' 'G:\src\a.txt' 'G:\nothing\'; do
    check "measure $bad is refused" 1 "$cli" measure "$bad"
done
[ -s "$work/err" ] || { echo "FAIL: no message for a refused path"; failures=$((failures + 1)); }
for f in "$work"/bin/NRVS_*.txt; do
    [ -e "$f" ] && { echo "FAIL: a refused measurement wrote $f"; failures=$((failures + 1)); }
done
check "measure G:" 0 "$cli" measure 'G:'
grep -q '^G:\\src\\sub\\' "$work/bin/NRVS_G.txt" || { echo "FAIL: cache lacks G:\\src\\sub\\"; failures=$((failures + 1)); }

check "copy a tree" 0 "$cli" copy 'G:\src\' 'G:\dst\'
[ "$(cat "$work/g/dst/src/sub/b.txt")" = bb ] || { echo "FAIL: copy"; failures=$((failures + 1)); }
check "copy by native paths" 0 "$cli" copy "$work/g/src/a.txt" "$work/g/dst/"
check "copy onto itself" 1 "$cli" copy 'G:\src\a.txt' 'G:\src\'
check "copy into a missing folder" 1 "$cli" copy 'G:\src\a.txt' 'G:\missing\'
check "delete the root" 1 "$cli" delete 'G:\'
check "delete through a doubled separator" 1 "$cli" delete 'G:\\'
check "move the root" 1 "$cli" move 'G:\\' 'G:\dst\'
[ -f "$work/g/src/a.txt" ] || { echo "FAIL: the drive lost files"; failures=$((failures + 1)); }
XDG_DATA_HOME=$work/xdg check "move into the trash after copying" 0 "$cli" move 'G:\src\sub\' 'G:\dst\'
[ ! -e "$work/g/src/sub" ] && [ -f "$work/xdg/Trash/files/sub/b.txt" ] || { echo "FAIL: move"; failures=$((failures + 1)); }
check "copy with progress" 0 "$cli" copy --progress 'G:\dst\src\' 'G:\'
[ "$(cat "$work/g/src/a.txt")" = aaa ] || { echo "FAIL: copy with progress"; failures=$((failures + 1)); }
check "delete for good" 0 "$cli" delete --progress 'G:\dst\src\'
[ ! -e "$work/g/dst/src" ] || { echo "FAIL: delete"; failures=$((failures + 1)); }
check "delete what is not there" 1 "$cli" delete 'G:\dst\src\'
grep -q 'delete' "$work/err" || { echo "FAIL: no message for a failed delete"; failures=$((failures + 1)); }

check "info of a drive" 0 "$cli" info 'G:'
[ "$(grep -c $'\t' "$work/out")" = 20 ] && grep -q $'^ドライブレター\tG$' "$work/out" \
    && grep -qE $'^シリアルナンバ\t[0-9A-F]{8}$' "$work/out" || { echo "FAIL: info rows"; failures=$((failures + 1)); }
check "info of a folder that is not there" 1 "$cli" info 'G:\nothing\'
check "monitor rows" 0 "$cli" monitor
head -1 "$work/out" | grep -q $'^Drive\tTotal\tFree\t%$' || { echo "FAIL: monitor header"; failures=$((failures + 1)); }
if grep -qvE $'^(Drive\t| [A-Z]:( [A-Z]:)*\t([0-9.,]+[KMGT]?B|-)\t([0-9.,]+[KMGT]?B|-)\t([0-9,]*\.[0-9]{2}|-)$)' "$work/out"; then
    echo "FAIL: monitor row format"; cat "$work/out"; failures=$((failures + 1))
fi
mkdir -p "$work/g/mon/in"
printf 'cccc' >"$work/g/mon/c.txt"
printf 'ddd' >"$work/g/mon/in/d.txt"
check "monitor a folder" 0 "$cli" monitor --folder 'G:\mon\'
[ "$(cut -f2,4,5 "$work/out")" = "$(printf '7\t2\t1')" ] || { echo "FAIL: folder count"; cat "$work/out"; failures=$((failures + 1)); }
check "monitor a folder that is not there" 1 "$cli" monitor --folder 'G:\gone\'

# A FIFO is not copied: the copy says so and fails, and a move keeps its source.
mkdir -p "$work/g/pipes" "$work/g/dst2"
mkfifo "$work/g/pipes/p"
printf 'f' >"$work/g/pipes/f"
check "copy a tree holding a FIFO" 1 "$cli" copy 'G:\pipes\' 'G:\dst\'
grep -q 'pipes/p: FIFOはコピーされません' "$work/err" || { echo "FAIL: no word of the FIFO"; failures=$((failures + 1)); }
check "copy a FIFO" 1 "$cli" copy 'G:\pipes\p' 'G:\dst2\'
XDG_DATA_HOME=$work/xdg check "move a tree holding a FIFO" 1 "$cli" move 'G:\pipes\' 'G:\dst2\'
[ -p "$work/g/pipes/p" ] && [ -f "$work/g/pipes/f" ] && grep -q 'the source stays' "$work/err" \
    || { echo "FAIL: the move lost its source"; cat "$work/err"; failures=$((failures + 1)); }

# Letter H: is the folder g/h: no spelling through G: deletes or moves it.
mkdir -p "$work/g/h"
printf 'keep' >"$work/g/h/keep"
{ for i in $(seq 0 51); do
    if [ "$i" = 6 ]; then echo "$work/g"; elif [ "$i" = 7 ]; then echo "$work/g/h"; else echo; fi
done; } >"$work/bin/norvessa.drv"
XDG_DATA_HOME=$work/xdg check "trash another drive's root" 1 "$cli" delete 'G:\h\' --trash
grep -q 'ドライブ H: のルート' "$work/err" || { echo "FAIL: no word of the drive"; cat "$work/err"; failures=$((failures + 1)); }
check "delete another drive's root" 1 "$cli" delete 'G:\h\'
XDG_DATA_HOME=$work/xdg check "move another drive's root" 1 "$cli" move 'G:\h\' 'G:\dst2\'
check "delete a drive's root by its letter" 1 "$cli" delete 'H:\'
[ "$(cat "$work/g/h/keep")" = keep ] && [ ! -e "$work/g/dst2/h" ] || { echo "FAIL: the drive H: was touched"; failures=$((failures + 1)); }

[ "$failures" = 0 ] && echo "all passed"
exit $((failures > 0))
