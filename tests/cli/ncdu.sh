#!/bin/bash
# norvessa-cli import and export --format ncdu from a script, against ncdu
# itself: ncdu's scan of a tree imported gives the lines of our measurement
# of that tree, and our export read back by ncdu (and gdu) gives them again.
# Bad input exits with 1, says where, and writes nothing.
# Usage: ncdu.sh path/to/norvessa-cli
source "$(dirname "$0")/support.sh" "$1"
# A statically linked tool reads the scans with norvessa-import beside it.
if [ -x "$(dirname "$cli_src")/norvessa-import" ]; then cp "$(dirname "$cli_src")/norvessa-import" "$work/bin/"; fi
make_drive G

# The tree: nested folders, names with spaces, ">" and a byte that is no
# UTF-8, a file with two names in two folders, hidden and read-only folders.
g=$work/g
mkdir -p "$g/docs/old/older" "$g/media files" "$g/.cache" "$g/ro" "$g/empty"
head -c 300000 /dev/zero >"$g/media files/clip > 1.mp4"
head -c 5000 /dev/zero >"$g/docs/notes.txt"
head -c 123457 /dev/zero >"$g/docs/old/older/deep.bin"
head -c 1 /dev/zero >"$g/docs/old/one"
head -c 7000 /dev/zero >"$g/.cache/blob"
head -c 4096 /dev/zero >"$g/ro/page"
head -c 20000 /dev/zero >"$g/media files/n$(printf '\xff\xfe')"
: >"$g/zero"
head -c 99 /dev/zero >"$g/top"
ln "$g/docs/notes.txt" "$g/media files/notes-link"
chmod 555 "$g/ro"
# The cache lines of a letter without the header, the letter made '?'.
lines() { "$cli" tree "$1:" | tail -n +2 | sed 's/^.:/?:/'; }

"$cli" measure G: >/dev/null || fail "measure G:"
lines G >"$work/measured"
[ "$(wc -l <"$work/measured")" = 8 ] || fail "measured lines: $(cat "$work/measured")"

# Bad input: status 1, the place, nothing written.
printf '[1,2,{},\n[{"name":"/r"},\n{"name":"f","asize":-4}]]' >"$work/bad.json"
"$cli" import "$work/bad.json" --as M: >"$work/out" 2>"$work/err" && fail "negative size accepted"
grep -q "line 3, column" "$work/err" || fail "no place in: $(cat "$work/err")"
[ ! -e "$work/bin/NRVS_M.txt" ] && [ ! -e "$work/bin/NRVS_M.imp" ] || fail "bad input wrote files"
printf '[1,2,{},[{"name":"/r"},{"na' >"$work/cut.json"
"$cli" import "$work/cut.json" --as M: >/dev/null 2>&1 && fail "a cut file accepted"
"$cli" import "$work/nothing.json" --as M: >/dev/null 2>&1 && fail "a missing file accepted"
"$cli" import "$work/bad.json" --as 7: >/dev/null 2>&1 && fail "a bad letter accepted"
# What an import holds is what it keeps, not the document: 30 MB of an
# ignored array (30 KB packed) cost as little as a scan of two entries.
if [ -x /usr/bin/time ]; then
    {
        printf '[1,2,{},[{"name":"/r","junk":['
        head -c 15000000 /dev/zero | tr '\0' '0' | sed 's/0/0,/g'
        printf '0]},{"name":"f","asize":3}]]'
    } | gzip -c >"$work/junk.json.gz"
    printf '[1,2,{},[{"name":"/r"},{"name":"f","asize":3}]]' >"$work/two.json"
    /usr/bin/time -f %M -o "$work/rss-small" "$cli" import "$work/two.json" --as J: >/dev/null || fail "import of two entries"
    /usr/bin/time -f %M -o "$work/rss-junk" "$cli" import "$work/junk.json.gz" --as J: >"$work/out" || fail "import with an ignored array: $(cat "$work/out")"
    grep -q '^bytes     3$' "$work/out" || fail "import with an ignored array: $(cat "$work/out")"
    [ "$(tail -1 "$work/rss-junk")" -lt $(($(tail -1 "$work/rss-small") + 40000)) ] ||
        fail "an ignored array of 30 MB took $(tail -1 "$work/rss-junk") KB, two entries $(tail -1 "$work/rss-small") KB"
fi
# A drive of this machine is not overwritten.
cp "$work/bin/NRVS_G.txt" "$work/g-before"
printf '[1,2,{},[{"name":"/r"}]]' >"$work/small.json"
"$cli" import "$work/small.json" --as G: >/dev/null 2>"$work/err" && fail "import over a live drive accepted"
grep -q -- "--force" "$work/err" || fail "refusal does not name --force: $(cat "$work/err")"
cmp -s "$work/g-before" "$work/bin/NRVS_G.txt" || fail "the live drive's cache changed"

# Folders the scan could not read are named; excluded entries count for nothing.
printf '[1,2,{},[{"name":"/r"},[{"name":"secret","read_error":true}],{"name":"x","asize":50,"excluded":"pattern"},{"name":"y","asize":7}]]' >"$work/err.json"
"$cli" import "$work/err.json" --as E: >"$work/out" || fail "import with a read error"
grep -q '^E:\\secret\\$' "$work/out" || fail "the unreadable folder is not named: $(cat "$work/out")"
grep -q '^bytes     7$' "$work/out" || fail "excluded bytes counted: $(cat "$work/out")"

# Our export, read back by ourselves (gzip-compressed, from standard input).
"$cli" export G: --format ncdu --out "$work/ours.json" || fail "export G:"
gzip -c "$work/ours.json" | "$cli" import - --as R: >"$work/out" || fail "import of our export"
grep -q "^root      $g\$" "$work/out" || fail "import summary: $(cat "$work/out")"
lines R >"$work/r"
diff "$work/measured" "$work/r" >/dev/null || fail "our export imported differs: $(diff "$work/measured" "$work/r")"
"$cli" export 'R:\docs\' --format ncdu --out "$work/docs.json" || fail "export of a folder of an imported drive"
# The entries of an imported folder, as ls gives them of a folder that is here
# (a scan keeps no attribute letters).
names() { "$cli" ls "$1" | sed 's/ > ......./ > /'; }
[ "$(names 'R:\')" = "$(names G:)" ] || fail "ls of the import differs: $(names 'R:\')"
"$cli" ls 'R:\nowhere\' >/dev/null 2>&1 && fail "ls of a folder the scan does not hold succeeded"
# The verbs that read a last measurement take the imported letter as they take
# a measured drive: the ranking is the one of the drive it came from (a scan
# keeps no link apart from a file, so the files' rows may differ by those).
"$cli" rank G: | sed 's/G:\\/R:\\/g' >"$work/of_g"
"$cli" rank R: >"$work/of_r" 2>"$work/err" || fail "rank R: refused: $(cat "$work/err")"
diff "$work/of_g" "$work/of_r" >/dev/null || fail "rank R: differs: $(diff "$work/of_g" "$work/of_r")"
for verb in files types; do
    "$cli" $verb R: >"$work/of_r" 2>"$work/err" || fail "$verb R: refused: $(cat "$work/err")"
    [ -s "$work/of_r" ] || fail "$verb R: printed nothing"
done
# A measured drive unplugged (its folder gone) answers every verb that reads
# its last measurement as it did while here; the import's documents likewise.
# The documents are compared without the time they were written at, the
# listings without attribute letters (a snapshot keeps none of folders).
answers() {
    local verb
    for verb in "tree $1:" "tree $1:\\docs\\" "ls $1:" "ls $1:\\docs\\" "rank $1:" "files $1:" \
        "types $1:" "changes $1:" "export $1: --tree $work/doc --format csv" \
        "export $1: --list $1:\\docs\\ $work/doc --format html --plain"; do
        rm -f "$work/doc"
        # shellcheck disable=SC2086
        echo "$verb: $("$cli" $verb 2>&1) status $?"
        [ ! -e "$work/doc" ] || sed 's|[0-9/]* [0-9:]*現在|(time)|' "$work/doc"
    done | sed 's/ > [.A-Z]\{6\} / > /'
}
answers G >"$work/here"
[ "$(grep -c ' status 0$' "$work/here")" = 9 ] || fail "G: refused a verb while here: $(grep -v ' status 0$' "$work/here" | grep status)"
mv "$g" "$g.away"
answers G >"$work/unplugged"
diff "$work/here" "$work/unplugged" >/dev/null || fail "G: unplugged answers otherwise: $(diff "$work/here" "$work/unplugged" | head -20)"
"$cli" measure G: >/dev/null 2>"$work/err" && fail "an unplugged drive was measured"
grep -q "is not here" "$work/err" || fail "measure of an unplugged G: says: $(cat "$work/err")"
mv "$g.away" "$g"
for doc in "--tree $work/doc --format html" "--list R:\\docs\\ $work/doc --format csv"; do
    rm -f "$work/doc"
    # shellcheck disable=SC2086
    "$cli" export R: $doc >/dev/null 2>"$work/err" || fail "export R: $doc refused: $(cat "$work/err")"
    grep -qs 'R:\\docs\\\|old' "$work/doc" || fail "export R: $doc holds no rows"
done
"$cli" export G: --format ncdu >/dev/null 2>&1 && fail "export without --out accepted"

if ! command -v ncdu >/dev/null; then
    echo "ncdu is not installed: the comparison with ncdu is skipped"
else
    ncdu -e -o "$work/scan.json" "$g" 2>/dev/null || fail "ncdu -o"
    "$cli" import "$work/scan.json" --as N: --host testhost >"$work/out" || fail "import of ncdu's scan: $(cat "$work/out")"
    lines N >"$work/n"
    diff "$work/measured" "$work/n" >/dev/null || fail "ncdu's scan differs: $(diff "$work/measured" "$work/n")"
    grep -q "^host=testhost" "$work/bin/NRVS_N.imp" || fail "the host is not kept"
    grep -q "^program=ncdu " "$work/bin/NRVS_N.imp" || fail "the program is not kept"
    "$cli" measure N: >/dev/null 2>"$work/err" && fail "an imported letter was measured"
    grep -q "imported scan of $g on testhost" "$work/err" || fail "measure N: says: $(cat "$work/err")"
    [ -z "$(sed -n 14p "$work/bin/norvessa.drv" | tr -d "\r")" ] || fail "N: got a folder in the drive map"
    # ncdu reads our export and writes it again.
    ncdu -e -f "$work/ours.json" -o "$work/back.json" 2>/dev/null || fail "ncdu -f of our export"
    "$cli" import "$work/back.json" --as B: >/dev/null || fail "import of ncdu's copy of our export"
    lines B >"$work/b"
    diff "$work/measured" "$work/b" >/dev/null || fail "ncdu's copy differs: $(diff "$work/measured" "$work/b")"
    # The imported letter, exported, is ncdu's scan again (sizes and names).
    "$cli" export N: --format ncdu --out "$work/again.json" || fail "export N:"
    "$cli" import "$work/again.json" --as A: >/dev/null || fail "import of A:"
    diff "$work/measured" <(lines A) >/dev/null || fail "N: exported again differs"
fi
if command -v gdu >/dev/null; then
    gdu -n -p -f "$work/ours.json" >"$work/gdu" 2>&1 || fail "gdu -f of our export: $(cat "$work/gdu")"
    grep -q "media files" "$work/gdu" || fail "gdu does not list our export: $(cat "$work/gdu")"
else
    echo "gdu is not installed: its reading of our export is skipped"
fi

# Given up with --force, a drive's letter becomes the import and leaves the map.
"$cli" import "$work/small.json" --as G: --force >/dev/null || fail "import --force over G:"
[ -z "$(sed -n 7p "$work/bin/norvessa.drv" | tr -d '\r')" ] || fail "G: still names a folder after --force"
[ "$("$cli" tree G: | tail -n +2)" = 'G:\ > 0:0:0:0:0:0:0:0:0:0:0:0' ] || fail "G: is not the import: $("$cli" tree G:)"
# A folder given the letter again and measured: the letter holds no import.
make_drive G "$work/again"
echo x >"$work/again/f"
"$cli" measure G: >/dev/null 2>&1 || fail "measure of G: given a folder after its import"
"$cli" export G: --format ncdu --out "$work/again.json" >/dev/null 2>&1 || fail "export of G: measured again"
grep -q "\"name\":\"$work/again\"" "$work/again.json" || fail "G: is named as the import: $(head -c 200 "$work/again.json")"

finish
