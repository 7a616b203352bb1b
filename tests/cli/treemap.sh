#!/bin/bash
# norvessa-cli treemap from a script: a PNG of the asked size for a measured
# drive and for a folder of it, bad sizes and unwritable targets refused
# with status 1 and no file left behind.
# Usage: treemap.sh path/to/norvessa-cli
set -u
cli_src=$1
work=$(mktemp -d)
trap 'chmod -R u+w "$work" 2>/dev/null; rm -rf "$work"' EXIT
mkdir -p "$work/bin" "$work/g/a/b" "$work/g/c"
cp "$cli_src" "$work/bin/norvessa-cli"
cp "$(dirname "$cli_src")/norvessa-treemap" "$work/bin/"  # draws the pictures
cli=$work/bin/norvessa-cli
{ for i in $(seq 0 51); do if [ "$i" = 6 ]; then echo "$work/g"; else echo; fi; done; } >"$work/bin/norvessa.drv"
head -c 300000 /dev/zero >"$work/g/a/b/big.bin"
head -c 100000 /dev/zero >"$work/g/c/small.png"
head -c 5000 /dev/zero >"$work/g/top.txt"

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
size_of() { # prints WIDTHxHEIGHT of a PNG from its header
    od -An -tu1 -j16 -N8 "$1" | awk '{ print $3*256+$4 "x" $7*256+$8 }'
}

check "unmeasured drive still draws" 0 "$cli" treemap G: --size 300x200 --out "$work/none.png"
grep -q "measured" "$work/err" || { echo "FAIL: no word that G: is not measured"; failures=$((failures + 1)); }
check "measure G:" 0 "$cli" measure G:
check "treemap of G:" 0 "$cli" treemap G: --size 640x400 --out "$work/g.png"
[ "$(size_of "$work/g.png")" = 640x400 ] || { echo "FAIL: size $(size_of "$work/g.png")"; failures=$((failures + 1)); }
check "treemap of a folder by native path" 0 "$cli" treemap "$work/g/a" --out "$work/a.png" --colours depth
[ "$(size_of "$work/a.png")" = 1600x1000 ] || { echo "FAIL: default size"; failures=$((failures + 1)); }
for bad in 0x100 100 10x10 abcx20 300x200x1 -5x300 99999x100; do
    check "size $bad refused" 1 "$cli" treemap G: --size "$bad" --out "$work/bad.png"
    [ -e "$work/bad.png" ] && { echo "FAIL: a refused size $bad wrote a file"; failures=$((failures + 1)); rm -f "$work/bad.png"; }
done
check "colours refused" 1 "$cli" treemap G: --colours rainbow --out "$work/bad.png"
check "missing folder refused" 1 "$cli" treemap 'G:\nothing\' --out "$work/bad.png"
check "no --out: usage" 2 "$cli" treemap G:
check "unwritable target" 1 "$cli" treemap G: --size 100x100 --out "$work/no/such/dir/x.png"
ls "$work/no" >/dev/null 2>&1 && { echo "FAIL: folders made for the target"; failures=$((failures + 1)); }

# The tool itself needs no Qt: only the program drawing the pictures does.
if command -v ldd >/dev/null; then
    ldd "$cli" | grep -qi 'libQt' && { echo "FAIL: norvessa-cli links Qt: $(ldd "$cli" | grep -i qt)"; failures=$((failures + 1)); }
fi
# Without its drawing program the treemap says so; everything else works.
rm "$work/bin/norvessa-treemap"
check "treemap without its drawing program" 1 "$cli" treemap G: --out "$work/none.png"
grep -q "not available" "$work/err" || { echo "FAIL: no clear word: $(cat "$work/err")"; failures=$((failures + 1)); }
check "other commands without it" 0 "$cli" files G: --top 1
check "drives without it" 0 "$cli" drives

[ "$failures" = 0 ] && echo "all passed"
exit $((failures > 0))
