#!/bin/bash
# Every verb of norvessa-cli against a plain list of its options: each option
# is accepted with its values and refused without them, an unknown option or
# a wrong number of arguments exits 2 with the verb's usage on standard
# error, and the help, the manual page and the completion name exactly these
# verbs and options. A verb or option added to the tool must be added here.
# Usage: usage.sh path/to/norvessa-cli
source "$(dirname "$0")/support.sh" "$1"
touch "$work/bin/norvessa.portable"

# verb, positional arguments, options (=N: the option takes N values)
reference='
drives 0 --tab
ls 1 --files --folders
measure 1 --count-links --no-index
tree 1
files 1 --top=1 --by=1 --ext=1 --min-size=1 --older-than=1 --name=1 --path
types 1 --by-kind
copy 2 --progress
move 2 --progress
delete 1 --progress --trash
sim 1 --cluster=1 --drive=1
import 1 --as=1 --host=1 --force
export 1 --tree=1 --list=2 --format=1 --no-sizes --no-files --no-folders --links --plain --out=1
info 1
monitor 0 --folder=1
rank 1 --by=1 --top=1 --filters=1 --exclude=1 --exclude-tree=1
treemap 1 --out=1 --size=1 --colours=1 --highlight=1
paths 0
changes 1 --top=1 --by=1 --files
help 0
'

# A usage mistake: status 2, nothing on standard output, the verb's usage
# and a line before it on standard error.
mistake() { # verb, arguments...
    local verb=$1
    "$cli" "$@" >"$work/out" 2>"$work/err"
    local got=$?
    [ "$got" = 2 ] || fail "$*: status $got, expected 2"
    [ ! -s "$work/out" ] || fail "$*: printed on standard output"
    [ "$(sed -n 2p "$work/err")" = "$(sed -n 1p "$work/help")" ] ||
        fail "$*: not the verb's usage after the reason: $(cat "$work/err")"
    grep -q "^norvessa-cli $verb: " "$work/err" || fail "$*: no reason: $(cat "$work/err")"
}

"$cli" --man >"$work/man" && "$cli" --bash-completion >"$work/completion" || fail "--man or --bash-completion failed"
# The manual page's OPTIONS section: ".B verb" and the options, one line.
sed -n '/^\.SH OPTIONS/,/^\.SH FILES/p' "$work/man" | sed 's/\\-/-/g' |
    awk '/^\.B [a-z]/ { verb = $2; next } verb { print verb ":" $0; verb = "" }' >"$work/man-options"

verbs=
while read -r -u 3 verb count options; do
    [ -n "$verb" ] || continue
    verbs="$verbs $verb"
    "$cli" "$verb" --help >"$work/help" 2>&1 || fail "$verb --help: status $?"
    [[ $(head -1 "$work/help") == "Usage: norvessa-cli $verb"* ]] || fail "$verb --help: $(head -1 "$work/help")"

    mistake "$verb" --no-such-option
    grep -q -- "unknown option --no-such-option" "$work/err" || fail "$verb: the unknown option is not named"
    words=()
    for ((i = 0; i < count; i++)); do words+=(A:); done
    mistake "$verb" "${words[@]}" A:
    ((count == 0)) || mistake "$verb"

    names=
    for option in $options; do
        name=${option%=*} values=0
        [ "$name" = "$option" ] || values=${option#*=}
        names="$names $name"
        given=("$name")
        for ((i = 0; i < values; i++)); do given+=(x); done
        "$cli" "$verb" "${given[@]}" --help >/dev/null 2>"$work/err" || fail "$verb ${given[*]} refused: $(cat "$work/err")"
        ((values == 0)) || mistake "$verb" "$name"
    done
    names=${names# }
    if [ -n "$names" ]; then
        grep -qxF "    $verb) options=\"$names\" ;;" "$work/completion" || fail "completion of $verb is not: $names"
        grep -qxF "$verb:${names// /, }" "$work/man-options" || fail "manual page options of $verb are not: $names"
    else
        grep -q "^    $verb)" "$work/completion" && fail "completion gives $verb options"
        grep -q "^$verb:" "$work/man-options" && fail "manual page gives $verb options"
    fi
    grep -qx "\.B $verb" "$work/man" || fail "manual page lacks $verb"
done 3<<<"$reference"

verbs=${verbs# }
[ "$("$cli" --help | sed -n 's/^  \([a-z]\+\).*/\1/p' | tr '\n' ' ')" = "$verbs " ] ||
    fail "the help's verbs are not: $verbs"
grep -qF "compgen -W \"$verbs --help\"" "$work/completion" || fail "completion of the verbs is not: $verbs"
[ "$(wc -l <"$work/man-options")" = "$(grep -c ') options=' "$work/completion")" ] ||
    fail "the manual page and the completion list options of different verbs"

finish
