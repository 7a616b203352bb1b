#!/usr/bin/env bash
# Screenshot of the treemap window beside the main window in
# docs/screenshots/treemap.png: /usr measured as a drive of its own (U:,
# through the drive map), under Xvfb with the openbox window manager, driven
# with xdotool. The program runs beside its own settings in a temporary
# folder.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/screenshot_common.sh
prepare_screenshots xvfb xauth imagemagick openbox xdotool
tmp=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null; rm -rf "$tmp"' EXIT
cp "$BIN/norvessa" "$BIN/norvessa-cli" "$BIN/norvessa.html" "$tmp/"
# Letter U: (line 20 of the map) is /usr.
{ for i in $(seq 0 25); do if [ "$i" -eq 20 ]; then echo /usr; else echo; fi; done; } > "$tmp/norvessa.drv"
"$tmp/norvessa-cli" measure U: > /dev/null
# The main window: 640 x 640 at the top left, files shown.
{ echo; echo; echo; echo; echo 170; echo 190; echo 200
  echo; echo; echo; echo 1; echo 1
  for i in $(seq 12 19); do echo; done; echo 0; echo 24; } > "$tmp/norvessa.prm"
out="$PWD/docs/screenshots"
mkdir -p "$out"

Xvfb -displayfd 3 -screen 0 ${SCREEN}x24 -nolisten tcp 3>"$tmp/display" >/dev/null 2>&1 &
for _ in $(seq 50); do [ -s "$tmp/display" ] && break; sleep 0.1; done
[ -s "$tmp/display" ] || { echo "screenshots_treemap.sh: Xvfb did not start" >&2; exit 1; }
export DISPLAY=:$(head -1 "$tmp/display")
openbox >/dev/null 2>&1 &
sleep 1
"$tmp/norvessa" "U:\\" >/dev/null 2>&1 &
wait_window "Quorvalix - Norvessa" 20
win=$FOUND
xdotool windowactivate --sync "$win" 2>/dev/null || true
sleep 1
xdotool key ctrl+t
wait_window "ツリーマップ" 30
map=$FOUND
xdotool windowmove "$map" 648 24 windowsize "$map" 940 640
sleep 3
# Pointing at the largest block shows its tip.
xdotool mousemove 900 200
sleep 2
import -window root "$out/treemap.png"; echo "wrote $out/treemap.png"
kill %3 2>/dev/null || true
