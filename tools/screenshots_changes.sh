#!/usr/bin/env bash
# Screenshot of the changes window in docs/screenshots: a sample folder given
# the letter X:, measured, then changed as a week of use changes a home
# folder (a download, a film added, photos moved, a cache emptied), measured
# again, and the window opened with Ctrl+G under Xvfb with openbox.
# BIN=build/asan takes the programs of another build.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/screenshot_common.sh
bin=${BIN:-build/release}
if [ "$bin" = build/release ]; then prepare_screenshots xvfb xauth imagemagick openbox xdotool; fi
tmp=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null; rm -rf "$tmp"' EXIT
cp "$bin/norvessa" "$bin/norvessa-cli" "$bin/norvessa.html" "$tmp/"
s="$tmp/sample"
write() { # folder below the sample, size, names...
    local dir=$s/$1 size=$2
    shift 2
    mkdir -p "$dir"
    for n in "$@"; do head -c "$size" /dev/zero >"$dir/$n"; done
}
write "写真/2024" 4200000 旅行_京都_001.JPG 旅行_京都_002.JPG
write "動画/家族" 48000000 運動会_2024.mp4
write "ダウンロード" 2100000 資料_最終版.pdf
write ".cache/ブラウザ" 900000 $(seq -f "entry_%02g" 1 30)
write "プロジェクト/web/src" 30000 $(seq -f "module_%02g.js" 1 40)
write "ドキュメント" 880000 報告書_2024.docx
{ for i in $(seq 0 51); do if [ "$i" -eq 23 ]; then echo "$s"; else echo; fi; done; } > "$tmp/norvessa.drv"
"$tmp/norvessa-cli" measure X: > /dev/null
sleep 1
# A week later.
write "ダウンロード" 26000000 installer_v2.iso
write "動画/家族" 31000000 旅行_北海道.mkv
mkdir -p "$s/写真/2024/京都"
mv "$s/写真/2024/"旅行_京都_00*.JPG "$s/写真/2024/京都/"
write "写真/2024/京都" 5100000 旅行_京都_003.JPG
rm -rf "$s/.cache/ブラウザ"
rm -f "$s/プロジェクト/web/src/"module_1*.js
write "プロジェクト/web/dist" 1600000 bundle.js
"$tmp/norvessa-cli" measure X: > /dev/null
{ echo 1180; echo 400; echo 0; echo 0; echo 170; echo 190; echo 150
  echo; echo; echo; echo 1; echo 1
  for i in $(seq 12 19); do echo; done; echo 0; echo 24
  # The 増減 column on, with the other four.
  echo; echo; echo 111; echo 11111; } > "$tmp/norvessa.prm"
out="$PWD/docs/screenshots"
mkdir -p "$out"

Xvfb -displayfd 3 -screen 0 1600x1000x24 -nolisten tcp 3>"$tmp/display" >/dev/null 2>&1 &
for _ in $(seq 50); do [ -s "$tmp/display" ] && break; sleep 0.1; done
[ -s "$tmp/display" ] || { echo "screenshots_changes.sh: Xvfb did not start" >&2; exit 1; }
export DISPLAY=:$(head -1 "$tmp/display")
openbox >/dev/null 2>&1 &
sleep 1
"$tmp/norvessa" "X:\\" >/dev/null 2>&1 &
wait_window "Quorvalix - Norvessa" 20
win=$FOUND
xdotool windowactivate --sync "$win" 2>/dev/null || true
xdotool windowmove "$win" 0 0 windowsize "$win" 1180 400
sleep 1
xdotool key ctrl+g
wait_window "変化"
chg=$FOUND
xdotool windowmove "$chg" 250 330 windowsize "$chg" 1250 560
sleep 2
import -window root -crop 1510x900+0+0 "$out/changes.png"; echo "wrote $out/changes.png"
