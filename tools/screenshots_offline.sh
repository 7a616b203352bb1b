#!/usr/bin/env bash
# Screenshots of a file server's scan browsed here, and of the file types
# window beside the treemap it lights, in docs/screenshots: a sample tree
# scanned with ncdu -o as another machine would, imported as S:, opened in
# the main window with its treemap (Ctrl+T); then /usr measured as U:, its
# treemap and the types window (Ctrl+Y) with one extension chosen. Xvfb with
# openbox, driven with xdotool.
# BIN=build/asan takes the programs of another build.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/screenshot_common.sh
bin=${BIN:-build/release}
if [ "$bin" = build/release ]; then prepare_screenshots xvfb xauth imagemagick openbox xdotool ncdu; fi
command -v ncdu >/dev/null || { echo "screenshots_offline.sh: ncdu is needed to scan the sample" >&2; exit 1; }
tmp=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null; rm -rf "$tmp"' EXIT
cp "$bin/norvessa" "$bin/norvessa-cli" "$bin/norvessa-treemap" "$bin/norvessa.html" "$tmp/"
# The scan is read by norvessa-import beside the tool (a release build links the tool statically).
if [ -x "$bin/norvessa-import" ]; then cp "$bin/norvessa-import" "$tmp/"; fi
s="$tmp/srv"
python3 - "$s" <<'PY'
import os, sys
top = sys.argv[1]
def f(path, size):
    full = os.path.join(top, path)
    os.makedirs(os.path.dirname(full), exist_ok=True)
    with open(full, "wb") as out:
        out.write(bytes(size // 10))  # a tenth of a real server, written out
for user, scale in (("tanaka", 7), ("suzuki", 4), ("sato", 2)):
    for i in range(12):
        f(f"home/{user}/写真/IMG_{i:04d}.jpg", scale * 900_000 + i * 37_000)
    f(f"home/{user}/動画/発表会.mp4", scale * 60_000_000)
    f(f"home/{user}/資料/報告書.docx", scale * 400_000)
for i in range(30):
    f(f"backup/db/dump_{i:02d}.sql.gz", 40_000_000 + i * 1_300_000)
for i in range(80):
    f(f"www/site/assets/img_{i:02d}.png", 300_000 + i * 9_000)
    f(f"www/site/js/module_{i:02d}.js", 20_000 + i * 700)
f("www/logs/access.log", 380_000_000)
f("www/logs/error.log", 45_000_000)
f("projects/build/release.iso", 700_000_000)
f("projects/src/main.cpp", 120_000)
PY
# The scan's sizes are taken as it states them; -e keeps modes and times.
ncdu -e -o "$tmp/fileserver.json" "$s" 2>/dev/null
: > "$tmp/norvessa.drv"
"$tmp/norvessa-cli" import "$tmp/fileserver.json" --as S: --host fileserver > /dev/null
{ echo 1000; echo 640; echo 0; echo 0; echo 170; echo 190; echo 200
  echo; echo; echo; echo 1; echo 1
  for i in $(seq 12 19); do echo; done; echo 0; echo 24; } > "$tmp/norvessa.prm"
out="$PWD/docs/screenshots"
mkdir -p "$out"

Xvfb -displayfd 3 -screen 0 1600x1000x24 -nolisten tcp 3>"$tmp/display" >/dev/null 2>&1 &
for _ in $(seq 50); do [ -s "$tmp/display" ] && break; sleep 0.1; done
[ -s "$tmp/display" ] || { echo "screenshots_offline.sh: Xvfb did not start" >&2; exit 1; }
export DISPLAY=:$(head -1 "$tmp/display")
openbox >/dev/null 2>&1 &
sleep 1
"$tmp/norvessa" "S:\\" >/dev/null 2>&1 &
app=$!
wait_window "Quorvalix - Norvessa" 20
win=$FOUND
xdotool windowactivate --sync "$win" 2>/dev/null || true
xdotool windowmove "$win" 0 0 windowsize "$win" 690 540
sleep 1
xdotool key ctrl+t
wait_window "ツリーマップ" 30
map=$FOUND
xdotool windowmove "$map" 700 240 windowsize "$map" 900 700
sleep 4
import -window root "$out/offline_scan.png"; echo "wrote $out/offline_scan.png"

# /usr as U:, the kinds of its files, one extension chosen: its files lit.
kill "$app" 2>/dev/null || true
wait "$app" 2>/dev/null || true
{ for i in $(seq 0 51); do if [ "$i" -eq 20 ]; then echo /usr; else echo; fi; done; } > "$tmp/norvessa.drv"
"$tmp/norvessa-cli" measure U: > /dev/null
"$tmp/norvessa" "U:\\" >/dev/null 2>&1 &
app=$!
wait_window "Quorvalix - Norvessa" 20
win=$FOUND
xdotool windowactivate --sync "$win" 2>/dev/null || true
xdotool windowmove "$win" 0 0 windowsize "$win" 690 540
sleep 1
xdotool key ctrl+t
wait_window "ツリーマップ" 30
map=$FOUND
xdotool windowmove "$map" 700 240 windowsize "$map" 900 700
sleep 4
xdotool windowactivate --sync "$win" 2>/dev/null || true
sleep 1
xdotool mousemove --window "$win" 400 300 click 1
xdotool key ctrl+y
wait_window "ファイルの種類"
types=$FOUND
xdotool windowmove "$types" 0 580 windowsize "$types" 690 400
xdotool windowactivate --sync "$types" 2>/dev/null || true
# The list has the focus: the second row (after the largest type).
xdotool key Home Down || true
sleep 5
import -window root "$out/types_treemap.png"; echo "wrote $out/types_treemap.png"
