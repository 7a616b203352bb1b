#!/bin/bash
# norvessa-cli export from a script: the documents of a measured drive and of
# a folder's list, bad input refused with a message and status 1 (2 for a
# usage mistake), and a failed write leaving the old file as it was.
# Usage: export.sh path/to/norvessa-cli
source "$(dirname "$0")/support.sh" "$1"
make_drive G
mkdir -p "$work/g/a&b/<script>" "$work/g/it's" "$work/out"
printf 'aaa' >"$work/g/a&b/x.txt"
printf 'bb' >"$work/g/a&b/<script>/y.txt"

# $work/out holds the exported files.
check_output=$work/stdout
refusal_must_explain=1

check "tree of an unmeasured drive" 0 "$cli" export G: --tree "$work/out/empty.html" --format html
grep -q 'not been measured' "$work/err" || fail "no note about the unmeasured drive"
[ "$(grep -c '^<tr bgcolor=#' "$work/out/empty.html")" = 0 ] || fail "rows in the tree of an unmeasured drive"

check "measure" 0 "$cli" measure G:
check "tree as HTML with links" 0 "$cli" export G: --tree "$work/out/t.html" --format html --links
grep -q "charset=UTF-8" "$work/out/t.html" || fail "charset"
grep -q "&lt;script&gt;</a>" "$work/out/t.html" || fail "escaped name"
grep -q "href='file://$work/g/a%26b/'" "$work/out/t.html" || fail "file URL of a&b"
[ "$(grep -c '^<tr bgcolor=#' "$work/out/t.html")" = 4 ] || fail "four folder rows"
[ "$(tail -c 9 "$work/out/t.html" | od -An -c | tr -d ' \n')" = '</html>\r\n' ] || fail "CR LF line ends"

check "tree as CSV without columns" 0 "$cli" export 'G:\' --tree "$work/out/t.csv" --format csv --no-sizes --no-files --no-folders
grep -q '^"フォルダ"' "$work/out/t.csv" || fail "CSV head line"
grep -q '^,," \[-\] <script>"' "$work/out/t.csv" || fail "CSV depth of <script>"

check "list as CSV" 0 "$cli" export G: --list 'G:\a&b\' "$work/out/l.csv" --format csv
grep -q '^"G:\\a&b\\",' "$work/out/l.csv" || fail "list header row"
grep -q '^"<script>",' "$work/out/l.csv" || fail "list folder row"
check "list by native path as HTML" 0 "$cli" export G: --list "$work/g" "$work/out/l.html" --format html --links
# G: is a folder, not a volume's root: its root shows what was measured in it
# and no reserved row. With no file at the root, the root's sizes are its
# folders' total.
grep -q "予約 - Windows -" "$work/out/l.html" && fail "a folder's root has a reserved row"
check "list of the root as CSV" 0 "$cli" export G: --list 'G:\' "$work/out/root.csv" --format csv
[ "$(grep '^"G:\\",' "$work/out/root.csv" | cut -d, -f2,3)" = "$(grep '^"総計 - フォルダ -",' "$work/out/root.csv" | cut -d, -f2,3)" ] ||
    fail "the root's sizes are not its folders' total: $(cat "$work/out/root.csv")"

echo old >"$work/out/keep.html"
# A relative name is the current folder's, not the home folder's, and the
# written path is printed.
mkdir -p "$work/cwd" "$work/home"
printf 'mine' >"$work/home/rel.html"
cd "$work/cwd"
HOME=$work/home check "tree by a relative name" 0 "$cli" export G: --tree rel.html --list 'G:\' rel.csv --format html
cd - >/dev/null
[ -s "$work/cwd/rel.html" ] && [ -s "$work/cwd/rel.csv" ] || fail "a relative name was not written in the current folder"
[ "$(cat "$work/home/rel.html")" = mine ] || fail "a relative name replaced a file of the home folder"
[ "$(cat "$work/stdout")" = "$work/cwd/rel.html
$work/cwd/rel.csv" ] || fail "the written paths were not printed: $(cat "$work/stdout")"

check "unknown format" 1 "$cli" export G: --tree "$work/out/keep.html" --format xml
check "no format" 1 "$cli" export G: --tree "$work/out/keep.html"
check "nothing to export" 1 "$cli" export G: --format csv
check "a folder instead of a drive" 1 "$cli" export 'G:\a&b\' --tree "$work/out/keep.html" --format csv
check "a list folder that is missing" 1 "$cli" export G: --list 'G:\none\' "$work/out/keep.html" --format csv
# --list takes the next two words, so csv is left over: a usage mistake.
check "--list without its file" 2 "$cli" export G: --list 'G:\a&b\' --format csv
check "unknown option" 2 "$cli" export G: --tree "$work/out/keep.html" --format csv --fast
check "a folder in the way" 1 "$cli" export G: --tree "$work/out" --format csv
check "a missing folder" 1 "$cli" export G: --tree "$work/none/t.csv" --format csv
[ "$(cat "$work/out/keep.html")" = old ] || fail "a refused export touched the file"
if [ "$(id -u)" = 0 ] && command -v setpriv >/dev/null; then
    chmod 755 "$work" "$work/out" "$work/bin" "$work/g"; chmod a+r "$work/bin"/* "$work/out/keep.html"
    check "a folder without write access" 1 setpriv --reuid=65534 --regid=65534 --clear-groups \
        "$cli" export G: --tree "$work/out/keep.html" --format csv
    grep -q "cannot write the tree" "$work/err" || fail "the write failure was not the reason: $(cat "$work/err")"
    [ "$(cat "$work/out/keep.html")" = old ] || fail "a failed export touched the file"
fi

finish
