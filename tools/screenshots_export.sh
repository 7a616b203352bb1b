#!/usr/bin/env bash
# Screenshots of the export in docs/screenshots: the export dialog (under Xvfb
# with openbox, driven with xdotool) and the HTML documents it writes, as
# headless Chromium shows them.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/screenshot_common.sh
prepare_screenshots xvfb xauth imagemagick openbox xdotool chromium
tmp=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null; rm -rf "$tmp"' EXIT
cp "$BIN/norvessa" "$BIN/norvessa-cli" "$tmp/"
s="$tmp/sample"
mkdir -p "$s/写真/2024" "$s/写真/2025" "$s/音楽" "$s/projects/a&b/<script>" "$s/projects/notes" "$s/it's \"quoted\""
head -c 3000000 /dev/urandom > "$s/写真/2024/旅行.jpg"
head -c 1800000 /dev/urandom > "$s/写真/2025/桜.jpg"
head -c 5200000 /dev/urandom > "$s/音楽/アルバム.flac"
for i in $(seq 1 300); do head -c $((i * 37)) /dev/urandom > "$s/projects/a&b/f$i.cpp"; done
for i in $(seq 1 50); do echo "note $i" > "$s/projects/notes/n$i.txt"; done
head -c 40000 /dev/urandom > "$s/projects/a&b/<script>/x.js"
head -c 1234 /dev/urandom > "$s/readme.txt"
{ for i in $(seq 0 25); do if [ "$i" -eq 23 ]; then echo "$s"; else echo; fi; done; } > "$tmp/norvessa.drv"
"$tmp/norvessa-cli" measure X: > /dev/null
{ echo; echo; echo; echo; echo 170; echo 190; echo 200
  echo; echo; echo; echo 1; echo 1
  for i in $(seq 12 19); do echo; done; echo 0; echo 24; } > "$tmp/norvessa.prm"
out="$PWD/docs/screenshots"
mkdir -p "$out"

# The documents, written by the command-line tool with the dialog's options.
"$tmp/norvessa-cli" export X: --tree "$tmp/tree.html" --list 'X:\' "$tmp/list.html" --format html --links
for doc in tree list; do
  chromium --headless --no-sandbox --disable-gpu --hide-scrollbars --window-size=1000,520 \
    --screenshot="$out/export_$doc.png" "file://$tmp/$doc.html" >/dev/null 2>&1
  echo "wrote $out/export_$doc.png"
done

export DISPLAY=:96
Xvfb $DISPLAY -screen 0 ${SCREEN}x24 -nolisten tcp >/dev/null 2>&1 &
sleep 1
openbox >/dev/null 2>&1 &
sleep 1
"$tmp/norvessa" "X:\\" >/dev/null 2>&1 &
wait_window "Norvessa" 20
win=$FOUND
xdotool windowactivate --sync "$win" 2>/dev/null || true
# ツール(&T) > エクスポート(&X)..., then both halves on, a file name for each.
xdotool key alt+t
sleep 0.5
xdotool key x
wait_window "エクスポート"
for k in alt+t alt+q; do xdotool key "$k"; sleep 0.4; done
xdotool type --delay 120 "$tmp/ツリー.html"
for k in alt+l alt+d alt+a; do xdotool key "$k"; sleep 0.4; done
xdotool type --delay 120 "$tmp/リスト.csv"
sleep 1
import -window root "$out/export_dialog.png"; echo "wrote $out/export_dialog.png"
xdotool key Return
sleep 1.5
import -window root "$out/export_done.png"; echo "wrote $out/export_done.png"
xdotool key Return
sleep 0.5
ls -l "$tmp"/ツリー.html "$tmp"/リスト.csv
