#!/usr/bin/env bash
# A drive measured in the window against the same drive measured by
# norvessa-cli, in one run: a folder (default /usr) given the letter U:, the
# window on an Xvfb display of its own with NORVESSA_MEASURE_AT_START=U:
# (it opens U:, answers its own question Yes, measures, and exits once the
# measured drive's list is painted, printing the seconds from the answer to
# that paint), and `norvessa-cli measure U:` beside it. Medians of the rounds
# and the window's time over the command's (goal <= 1.3).
#
#   bench/window.sh                 /usr, 7 rounds
#   TREE=/srv ROUNDS=9 bench/window.sh
#
# BUILD_DIR: the release build folder (default build/release); norvessa and
# norvessa-cli are built there. NORVESSA, NORVESSA_CLI: other executables to
# time instead (nothing is built then). SCREEN: the display's size (default
# 1280x800). Both tools run from one folder, so that each replaces the same
# cache and keeps the same previous measurement, as a user's would.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
. bench/common.sh

tree=${TREE:-/usr}
rounds=${ROUNDS:-7}
build=${BUILD_DIR:-build/release}
[[ $rounds =~ ^[1-9][0-9]*$ ]] || { note "window.sh: ROUNDS must be a positive number"; exit 2; }
[[ -d $tree ]] || { note "window.sh: $tree is no folder"; exit 2; }
command -v Xvfb >/dev/null || { note "window.sh: Xvfb is needed"; exit 1; }

if [[ -z ${NORVESSA:-} || -z ${NORVESSA_CLI:-} ]]; then
    note "building norvessa and norvessa-cli ($build, release)"
    { [[ -f $build/build.ninja ]] || cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null; } &&
        cmake --build "$build" --target norvessa norvessa-cli >/dev/null ||
        { note "the build failed"; exit 1; }
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/nrvs-window.XXXXXX") || exit 1
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin"
cp "${NORVESSA:-$build/norvessa}" "$work/bin/norvessa" && cp "${NORVESSA_CLI:-$build/norvessa-cli}" "$work/bin/norvessa-cli" || exit 1
touch "$work/bin/norvessa.portable"
# Line 21 of the drive map: U:.
{ for i in $(seq 0 51); do if ((i == 20)); then echo "$tree"; else echo; fi; done; } >"$work/bin/norvessa.drv"

for display in $(seq 90 130); do [[ -e /tmp/.X11-unix/X$display || -e /tmp/.X$display-lock ]] || break; done
Xvfb ":$display" -screen 0 "${SCREEN:-1280x800}x24" -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null; rm -rf "$work"' EXIT
sleep 1

declare -A times
# The window's own figure (answer to painted list) and its whole run.
window_once() {
    local t0 t1 seconds
    t0=$(now)
    env DISPLAY=":$display" XDG_RUNTIME_DIR="$work" NORVESSA_MEASURE_AT_START=U: \
        timeout 120 "$work/bin/norvessa" >"$work/out.window" 2>"$work/err.window" ||
        { note "the window failed:"; head -3 "$work/err.window" >&2; return; }
    t1=$(now)
    seconds=$(awk '/^seconds/ { print $2 }' "$work/out.window")
    [[ -n $seconds ]] || { note "the window printed no time"; return; }
    times[window]+="$(awk -v s="$seconds" 'BEGIN { printf "%d", s * 1000 }') "
    times[process]+="$(((t1 - t0) / 1000)) "
}
cli_once() {
    run_timed cli "$work/bin/norvessa-cli" measure U:
    times[cli-own]+="$(awk '/^seconds/ { printf "%d", $2 * 1000 }' "$work/out.cli") "
}

note "one round to warm up, then $rounds"
for ((round = 0; round <= rounds; ++round)); do
    if ((round % 2)); then cli_once; window_once; else window_once; cli_once; fi
    if ((round == 0)); then times[cli]= times[cli-own]= times[window]= times[process]=; fi
done

med() { echo "${times[$1]:-}" | median | awk '{ if ($1 != "") printf "%.3f", $1 / 1000 }'; }
row() { printf '  %-52s %8s  %s\n' "$1" "$(med "$2")" "$(echo "${times[$2]:-}" | range)"; }

echo "A drive measured in the window and by norvessa-cli: $tree as U:, $rounds rounds after one warm-up, $(nproc) cores"
printf '  %-52s %8s  %s\n' "" "median s" "min..max s"
row "norvessa-cli measure U: (whole run)" cli
row "norvessa-cli measure U: (its own seconds)" cli-own
row "window: answer to the measured drive's painted list" window
row "window: whole run (start, question, measure, paint)" process
ratio=$(awk -v a="$(med window)" -v b="$(med cli)" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }')
echo "  window / norvessa-cli: $ratio (goal <= 1.3)"
echo "  $(sed -n '2,3p' "$work/out.cli" | tr -s ' \n' '  ')"
