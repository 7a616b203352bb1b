#!/usr/bin/env bash
# Screenshots of the largest-files window, the search with Japanese names and
# the treemap down to single files, in docs/screenshots: a sample folder
# given the letter X:, measured with its file index, the windows opened with
# Ctrl+B, Ctrl+K and Ctrl+T under Xvfb with openbox, driven with xdotool.
# BIN=build/asan takes the programs of another build.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/screenshot_common.sh
bin=${BIN:-build/release}
if [ "$bin" = build/release ]; then prepare_screenshots xvfb xauth imagemagick openbox xdotool; fi
tmp=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null; rm -rf "$tmp"' EXIT
cp "$bin/norvessa" "$bin/norvessa-cli" "$bin/norvessa-treemap" "$bin/norvessa.html" "$tmp/"
s="$tmp/sample"
python3 - "$s" <<'PY'
import os, sys
top = sys.argv[1]
def f(path, size):
    full = os.path.join(top, path)
    os.makedirs(os.path.dirname(full), exist_ok=True)
    with open(full, "wb") as out:
        out.truncate(0)
        out.write(b"\0" * size)
f("写真/2024/旅行_京都_001.JPG", 6_400_000)
f("写真/2024/旅行_京都_002.JPG", 5_900_000)
f("写真/2024/ＤＳＣ_0042.jpg", 4_200_000)
f("写真/2023/カメラ/DSC_0001.jpg", 3_800_000)
f("写真/2023/カメラ/ｶﾒﾗ設定.txt", 12_000)
f("動画/家族/運動会_2024.mp4", 48_000_000)
f("動画/家族/旅行_北海道.mkv", 31_000_000)
f("音楽/アルバム/01 はじまり.flac", 21_000_000)
f("音楽/アルバム/02 つづき.flac", 19_500_000)
f("ダウンロード/installer_v2.iso", 26_000_000)
f("ダウンロード/資料_最終版.pdf", 2_100_000)
f("ドキュメント/報告書_2024.docx", 880_000)
f("ドキュメント/見積書.xlsx", 210_000)
f("プロジェクト/web/assets/背景.png", 1_600_000)
for i in range(60):
    f(f"プロジェクト/web/src/module_{i:02d}.js", 3_000 + 97 * i)
f("プロジェクト/tools/build", 9_500_000)
os.chmod(os.path.join(top, "プロジェクト/tools/build"), 0o755)
PY
{ for i in $(seq 0 51); do if [ "$i" -eq 23 ]; then echo "$s"; else echo; fi; done; } > "$tmp/norvessa.drv"
"$tmp/norvessa-cli" measure X: > /dev/null
{ echo; echo; echo; echo; echo 170; echo 190; echo 200
  echo; echo; echo; echo 1; echo 1
  for i in $(seq 12 19); do echo; done; echo 0; echo 24; } > "$tmp/norvessa.prm"
out="$PWD/docs/screenshots"
mkdir -p "$out"

Xvfb -displayfd 3 -screen 0 ${SCREEN}x24 -nolisten tcp 3>"$tmp/display" >/dev/null 2>&1 &
for _ in $(seq 50); do [ -s "$tmp/display" ] && break; sleep 0.1; done
[ -s "$tmp/display" ] || { echo "screenshots_files.sh: Xvfb did not start" >&2; exit 1; }
export DISPLAY=:$(head -1 "$tmp/display")
openbox >/dev/null 2>&1 &
sleep 1
"$tmp/norvessa" "X:\\" >/dev/null 2>&1 &
wait_window "Quorvalix - Norvessa" 20
win=$FOUND
xdotool windowactivate --sync "$win" 2>/dev/null || true
xdotool windowmove "$win" 0 0 windowsize "$win" 980 640
sleep 1

# The largest files of the whole drive.
xdotool key ctrl+b
wait_window "大きいファイル"
big=$FOUND
xdotool windowmove "$big" 560 260 windowsize "$big" 1020 560
sleep 2
import -window root "$out/largest.png"; echo "wrote $out/largest.png"
xdotool key Escape
sleep 1

# The search, typed in Japanese: 旅行 finds photos and a film by name.
xdotool windowactivate --sync "$win" 2>/dev/null || true
xdotool key ctrl+k
wait_window "検索"
search=$FOUND
xdotool type --delay 80 "旅行"
sleep 3
xdotool windowmove "$search" 560 260 windowsize "$search" 1020 560
sleep 2
import -window root "$out/search.png"; echo "wrote $out/search.png"
xdotool key Escape
sleep 1

# The treemap of the drive: big files named wherever they are.
xdotool windowactivate --sync "$win" 2>/dev/null || true
xdotool key ctrl+t
wait_window "ツリーマップ" 30
map=$FOUND
xdotool windowmove "$map" 600 300 windowsize "$map" 980 680
sleep 4
import -window root "$out/treemap_files.png"; echo "wrote $out/treemap_files.png"
"$tmp/norvessa-cli" treemap X: --size 1200x760 --highlight jpg --out "$out/treemap_highlight.png" 2>/dev/null
echo "wrote $out/treemap_highlight.png"

