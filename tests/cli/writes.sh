#!/bin/bash
# Files norvessa-cli writes for the user, against planted names and failing
# disks: a link at the name is replaced, never written through; a device or
# FIFO is refused; a cache that cannot be saved is an error; two
# measurements of one drive at once lose nothing. Also: numbers given on the
# command line are whole numbers, and the escape mark is visible on a
# terminal.
# Usage: writes.sh path/to/norvessa-cli
source "$(dirname "$0")/support.sh" "$1"
cp "$(dirname "$cli_src")/norvessa-treemap" "$work/bin/"  # draws the pictures
cache=$work/bin/NRVS_G.txt
make_drive G
mkdir -p "$work/g/a" "$work/g/big" "$work/shared"
printf 'aaa' >"$work/g/a/x.txt"

refusal_must_explain=1

check "measure G:" 0 "$cli" measure G:

# A user plants links in a shared folder where root writes its pictures
# and documents.
echo "root's secret" >"$work/secret"
chmod 600 "$work/secret"
ln -s "$work/secret" "$work/shared/map.png"
ln -s "$work/secret" "$work/shared/tree.csv"
check "treemap onto a planted link" 0 "$cli" treemap G: --size 200x100 --out "$work/shared/map.png"
check "export onto a planted link" 0 "$cli" export G: --tree "$work/shared/tree.csv" --format csv
[ "$(cat "$work/secret")" = "root's secret" ] || fail "a link was written through"
[ "$(stat -c %a "$work/secret")" = 600 ] || fail "the link's target changed its mode"
[ -f "$work/shared/map.png" ] && [ ! -L "$work/shared/map.png" ] || fail "the picture did not replace the link"
[ "$(head -c 4 "$work/shared/map.png" | tail -c 3)" = PNG ] || fail "no PNG at the name"

# Devices and FIFOs at the name are somebody's: refused, left alone.
mkfifo "$work/shared/fifo"
check "treemap onto a FIFO" 1 "$cli" treemap G: --size 200x100 --out "$work/shared/fifo"
grep -q FIFO "$work/err" || fail "the refusal does not say what is there: $(cat "$work/err")"
check "export onto a FIFO" 1 "$cli" export G: --tree "$work/shared/fifo" --format html
[ -p "$work/shared/fifo" ] || fail "the FIFO was replaced"
if mknod "$work/shared/mynull" c 1 3 2>/dev/null; then
    check "export onto a device" 1 "$cli" export G: --tree "$work/shared/mynull" --format csv
    grep -q device "$work/err" || fail "the refusal does not name the device: $(cat "$work/err")"
    [ -c "$work/shared/mynull" ] || fail "the device node was replaced by a file"
else
    echo "skipped: device nodes need root"
fi

# A cache that cannot be written: the figures are shown, the run fails.
cp "$cache" "$work/cache.before"
rm "$cache"
mkdir "$cache"
check "measure with the cache blocked" 1 "$cli" measure G:
grep -q '^bytes     3$' "$work/out" || fail "the measurement's result was not shown: $(cat "$work/out")"
grep -q 'not saved' "$work/out" || fail "the output names a cache that was not written"
grep -q "NRVS_G.txt" "$work/err" || fail "the message does not name the file: $(cat "$work/err")"
check "folder measurement with the cache blocked" 1 "$cli" measure 'G:\a\'
rmdir "$cache"
cp "$work/cache.before" "$cache"

# A file index that cannot be written: the cache was, and the run says which.
index=${cache%.txt}.idx
rm -f "$index"
mkdir "$index"
check "measure with the index blocked" 1 "$cli" measure G:
grep -q "^cache     $cache\$" "$work/out" || fail "the saved cache is not named: $(cat "$work/out")"
grep -q "file index could not be.*NRVS_G.idx" "$work/err" || fail "the index is not named: $(cat "$work/err")"
rmdir "$index"

# A drive measurement and a folder measurement of the same drive at once,
# the folder's started a moment later: the drive's new folder survives in
# whichever order they save.
for i in $(seq 1 400); do : >"$work/g/big/f$i"; done
for run in 1 2 3 4 5; do
    "$cli" measure G: >/dev/null 2>&1
    mkdir -p "$work/g/new$run"
    "$cli" measure G: >/dev/null 2>"$work/err.drive" &
    drive_pid=$!
    sleep 0.0$run
    "$cli" measure 'G:\big\' >/dev/null 2>"$work/err.folder"
    wait "$drive_pid"
    grep -q "^G:\\\\new$run\\\\ > " "$cache" || fail "run $run: the drive measurement was undone"
    grep -q "^G:\\\\big\\\\ > " "$cache" || fail "run $run: the folder's line is missing"
    [ "$(grep -c '^G:\\big\\ > ' "$cache")" = 1 ] || fail "run $run: the folder's line twice"
done

# Cluster sizes are whole numbers.
for bad in abc 12abc 4096x ' 4096' -4096 4.5; do
    check "sim --cluster '$bad' refused" 1 "$cli" sim 'G:\' --cluster "$bad"
done
check "sim --cluster 4096" 0 "$cli" sim 'G:\' --cluster 4096

# A real fullwidth backslash and one standing for a backslash byte: the
# same on a pipe (names as they are), told apart on a terminal.
printf 1 >"$work/g/a/x\\y"
printf 2 >"$work/g/a/x＼y"
check "ls to a pipe" 0 "$cli" ls --files 'G:\a\'
[ "$(grep -c $'\xee\x81\x9c' "$work/out")" = 1 ] || fail "the pipe did not get the mark as it is"
if command -v script >/dev/null; then
    script -qec "$cli ls --files 'G:\\a\\'" /dev/null >"$work/tty" 2>&1
    grep -q 'x<U+E05C>＼y' "$work/tty" || fail "the mark is not visible on a terminal: $(cat "$work/tty")"
    grep -q 'x＼y >' "$work/tty" || fail "the stand-in for a backslash byte is missing"
else
    echo "skipped: no script(1) for a terminal"
fi

# One monitor row per volume: G: is a folder of C:'s file system when they
# share a device, and then it has no row of its own.
check "monitor" 0 "$cli" monitor
if [ "$(stat -c %d /)" = "$(stat -c %d "$work/g")" ]; then
    grep -qE $'^ C:( [A-Z]:)* G:( [A-Z]:)*\t' "$work/out" || fail "G: is not on C:'s row: $(cat "$work/out")"
fi
[ "$(cut -f2- "$work/out" | sort | uniq -d | grep -vc -- '-')" = 0 ] || fail "two rows of the same numbers: $(cat "$work/out")"

# Free is what an ordinary user can write, as df's Avail.
check "drives" 0 "$cli" drives --tab
avail=$(df -B1 --output=avail / | tail -1 | tr -d ' ')
free=$(awk -F'\t' '$1 == "C:" { print $5 }' "$work/out")
if [ -n "$free" ]; then
    diff=$(( free > avail ? free - avail : avail - free ))
    [ "$diff" -lt $((64 << 20)) ] || fail "C: free $free, df's Avail $avail"
fi

finish
