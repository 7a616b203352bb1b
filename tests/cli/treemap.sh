#!/bin/bash
# norvessa-cli treemap from a script: a PNG of the asked size for a measured
# drive and for a folder of it, bad sizes and unwritable targets refused
# with status 1 and no file left behind.
# Usage: treemap.sh path/to/norvessa-cli
source "$(dirname "$0")/support.sh" "$1"
cp "$(dirname "$cli_src")/norvessa-treemap" "$work/bin/"  # draws the pictures
make_drive G
mkdir -p "$work/g/a/b" "$work/g/c"
head -c 300000 /dev/zero >"$work/g/a/b/big.bin"
head -c 100000 /dev/zero >"$work/g/c/small.png"
head -c 5000 /dev/zero >"$work/g/top.txt"
size_of() { # prints WIDTHxHEIGHT of a PNG from its header
    od -An -tu1 -j16 -N8 "$1" | awk '{ print $3*256+$4 "x" $7*256+$8 }'
}

check "unmeasured drive still draws" 0 "$cli" treemap G: --size 300x200 --out "$work/none.png"
grep -q "measured" "$work/err" || fail "no word that G: is not measured"
check "measure G:" 0 "$cli" measure G:
check "treemap of G:" 0 "$cli" treemap G: --size 640x400 --out "$work/g.png"
[ "$(size_of "$work/g.png")" = 640x400 ] || fail "size $(size_of "$work/g.png")"
check "treemap of a folder by native path" 0 "$cli" treemap "$work/g/a" --out "$work/a.png" --colours depth
[ "$(size_of "$work/a.png")" = 1600x1000 ] || fail "default size"
for bad in 0x100 100 10x10 abcx20 300x200x1 -5x300 99999x100; do
    check "size $bad refused" 1 "$cli" treemap G: --size "$bad" --out "$work/bad.png"
    [ -e "$work/bad.png" ] && { fail "a refused size $bad wrote a file"; rm -f "$work/bad.png"; }
done
check "colours refused" 1 "$cli" treemap G: --colours rainbow --out "$work/bad.png"
check "missing folder refused" 1 "$cli" treemap 'G:\nothing\' --out "$work/bad.png"
check "no --out: usage" 2 "$cli" treemap G:
check "unwritable target" 1 "$cli" treemap G: --size 100x100 --out "$work/no/such/dir/x.png"
ls "$work/no" >/dev/null 2>&1 && fail "folders made for the target"

# The tool itself needs no Qt: only the program drawing the pictures does.
if command -v ldd >/dev/null; then
    ldd "$cli" | grep -qi 'libQt' && fail "norvessa-cli links Qt: $(ldd "$cli" | grep -i qt)"
fi
# Without its drawing program the treemap says so; everything else works.
rm "$work/bin/norvessa-treemap"
check "treemap without its drawing program" 1 "$cli" treemap G: --out "$work/none.png"
grep -q "not available" "$work/err" || fail "no clear word: $(cat "$work/err")"
check "other commands without it" 0 "$cli" files G: --top 1
check "drives without it" 0 "$cli" drives

finish
