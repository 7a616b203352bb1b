# Shared set-up of the command-line tests, sourced by each of them with the
# tool under test:  source "$(dirname "$0")/support.sh" path/to/norvessa-cli
#
# It leaves $work, a temporary folder removed on exit, with a copy of the tool
# in $work/bin named by $cli: a tool beside no installed program keeps its
# drive map, caches and settings there, so the tests see and plant them.
set -u
cli_src=$1
work=$(mktemp -d)
# Tests leave read-only folders behind, which rm alone would not empty.
trap 'chmod -R u+w "$work" 2>/dev/null; rm -rf "$work"' EXIT
mkdir -p "$work/bin"
cp "$cli_src" "$work/bin/norvessa-cli"
cli=$work/bin/norvessa-cli

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# make_drive LETTER [FOLDER]: the folder ($work/<letter in lower case> unless
# given), made if needed, becomes that drive through the tool's drive map (one
# line per letter, then as many lines the tool keeps for itself).
drive_folders=()
make_drive() {
    local folder=${2:-$work/${1,,}}
    local index=$(($(printf '%d' "'$1") - 65))
    mkdir -p "$folder"
    drive_folders[index]=$folder
    local i
    for i in $(seq 0 51); do echo "${drive_folders[i]:-}"; done >"$work/bin/norvessa.drv"
}

# check WHAT STATUS COMMAND...: runs the command with its standard output in
# $check_output and its errors in $work/err, and fails unless it ends with
# STATUS. A script that sets refusal_must_explain=1 also wants a message from
# every command expected to fail, and with refusal_prints_nothing=1 nothing on
# its standard output.
check_output=$work/out
refusal_must_explain=0
refusal_prints_nothing=0
check() {
    local what=$1 want=$2
    shift 2
    "$@" >"$check_output" 2>"$work/err"
    local got=$?
    [ "$got" = "$want" ] || { fail "$what: status $got, expected $want"; cat "$work/err"; }
    if [ "$want" != 0 ] && [ "$refusal_must_explain" = 1 ]; then
        [ -s "$work/err" ] || fail "$what: no message"
        if [ "$refusal_prints_nothing" = 1 ]; then [ ! -s "$check_output" ] || fail "$what: printed something"; fi
    fi
}

# The end of every script: its status says whether every check passed.
finish() {
    [ "$failures" = 0 ] && echo "all passed"
    exit $((failures > 0))
}
