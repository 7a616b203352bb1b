#!/bin/bash
# Where the tool keeps the program's files: beside the executable for a
# portable copy (a marker or a file of the program's own there), in the XDG
# folders for an installed one, which a first measurement creates privately.
# Usage: paths.sh path/to/norvessa-cli
source "$(dirname "$0")/support.sh" "$1"
cp "$cli_src" "$work/bin/norvessa"  # the program beside the tool, as installed
mkdir -p "$work/g/a"
printf 'aaaa' >"$work/g/a/x.txt"
export XDG_CONFIG_HOME=$work/cfg XDG_DATA_HOME=$work/data
field() { "$cli" paths | awk -F'\t' -v k="$1" '$1 == k { print $2 }'; }

[ "$(field layout)" = installed ] || fail "a folder without program files: $("$cli" paths)"
[ "$(field settings)" = "$work/cfg/norvessa/" ] || fail "settings: $(field settings)"
[ "$(field data)" = "$work/data/norvessa/" ] || fail "data: $(field data)"
[ "$(field parameters)" = "$work/cfg/norvessa/norvessa.prm" ] || fail "parameters: $(field parameters)"
[ "$(field 'drive map')" = "$work/cfg/norvessa/norvessa.drv" ] || fail "drive map: $(field 'drive map')"
[ "$(field caches)" = "$work/data/norvessa/NRVS_<letter>.txt" ] || fail "caches: $(field caches)"
[ "$(field rankings)" = "$work/data/norvessa/norvessa_<letter>.rks" ] || fail "rankings: $(field rankings)"
[ ! -e "$work/cfg" ] && [ ! -e "$work/data" ] || fail "paths created folders"

# A first measurement: the drive map and the cache go to their folders,
# made for this user only.
"$cli" measure "$work/g" >"$work/out" 2>&1 || fail "measure: $(cat "$work/out")"
[ -f "$work/cfg/norvessa/norvessa.drv" ] || fail "no drive map in the settings folder"
ls "$work/data/norvessa" | grep -Eq '^NRVS_[A-Z]\.txt$' || fail "no cache in the data folder: $(ls -A "$work/data/norvessa")"
# The folder as a drive of its own (Z:, the map's 26th line), measured whole
# for its file index.
awk -v d="$work/g" 'NR == 26 { print d; next } { print }' "$work/cfg/norvessa/norvessa.drv" >"$work/map"
cp "$work/map" "$work/cfg/norvessa/norvessa.drv"
"$cli" measure Z: >"$work/out" 2>&1 || fail "measure Z:: $(cat "$work/out")"
[ -f "$work/data/norvessa/NRVS_Z.idx" ] || fail "no file index in the data folder"
[ "$(stat -c %a "$work/cfg/norvessa")" = 700 ] || fail "settings folder mode $(stat -c %a "$work/cfg/norvessa")"
[ "$(stat -c %a "$work/data/norvessa")" = 700 ] || fail "data folder mode $(stat -c %a "$work/data/norvessa")"
[ "$(ls -A "$work/bin" | sort | tr '\n' ' ')" = "norvessa norvessa-cli " ] || fail "written beside: $(ls -A "$work/bin")"
"$cli" files Z: | grep -q 'x\.txt' || fail "files does not find x.txt"

# Without XDG variables: below HOME.
[ "$(env -u XDG_CONFIG_HOME -u XDG_DATA_HOME HOME="$work/home" "$cli" paths | sed -n 's/^settings\t//p')" = \
    "$work/home/.config/norvessa/" ] || fail "settings without XDG_CONFIG_HOME"

# The marker makes it a portable copy again, as does any file of the program.
: >"$work/bin/norvessa.portable"
[ "$(field layout)" = portable ] || fail "with the marker: $("$cli" paths)"
[ "$(field 'drive map')" = "$work/bin/norvessa.drv" ] || fail "portable drive map: $(field 'drive map')"
rm "$work/bin/norvessa.portable"
: >"$work/bin/NRVS_C.txt"
[ "$(field data)" = "$work/bin/" ] || fail "with a cache beside: $("$cli" paths)"
rm "$work/bin/NRVS_C.txt"
# A tool alone (no program named beside it) keeps the files beside it, as
# every copy did before.
rm "$work/bin/norvessa"
[ "$(field layout)" = portable ] || fail "the tool alone: $("$cli" paths)"

finish
