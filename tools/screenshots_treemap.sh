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
cp build/release/norvessa build/release/norvessa-cli build/release/norvessa.html "$tmp/"
# Letter U: (line 20 of the map) is /usr.
{ for i in $(seq 0 25); do if [ "$i" -eq 20 ]; then echo /usr; else echo; fi; done; } > "$tmp/norvessa.drv"
"$tmp/norvessa-cli" measure U: > /dev/null
# The main window: 640 x 640 at the top left, files shown.
{ echo; echo; echo; echo; echo 170; echo 190; echo 200
  echo; echo; echo; echo 1; echo 1
  for i in $(seq 12 19); do echo; done; echo 0; echo 24; } > "$tmp/norvessa.prm"
out="$PWD/docs/screenshots"
mkdir -p "$out"

export DISPLAY=:96
Xvfb $DISPLAY -screen 0 ${SCREEN}x24 -nolisten tcp >/dev/null 2>&1 &
sleep 1
openbox >/dev/null 2>&1 &
sleep 1
"$tmp/norvessa" "U:\\" >/dev/null 2>&1 &
sleep 4
win=$(xdotool search --name "Norvessa" | head -1)
xdotool windowactivate --sync "$win" 2>/dev/null || true
xdotool key ctrl+t
sleep 2
map=$(xdotool search --name "ツリーマップ" | head -1)
xdotool windowmove "$map" 648 24 windowsize "$map" 940 640
sleep 3
# Pointing at the largest block shows its tip.
xdotool mousemove 900 200
sleep 2
import -window root "$out/treemap.png"; echo "wrote $out/treemap.png"
kill %3 2>/dev/null || true
