#!/usr/bin/env bash
# Screenshot of the ranking window in docs/screenshots: a sample folder given
# the letter X:, measured, and the ranking opened with Ctrl+R. The program
# runs beside its own settings in a temporary folder, under Xvfb with the
# openbox window manager, driven with xdotool.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/screenshot_common.sh
prepare_screenshots xvfb xauth imagemagick openbox xdotool
tmp=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null; rm -rf "$tmp"' EXIT
cp "$BIN/norvessa" "$BIN/norvessa-cli" "$BIN/norvessa.html" "$tmp/"
s="$tmp/sample"
# Folders of many sizes: photos in big files, a source tree of small ones
# (a wide cluster gap), a hidden cache, an empty-handed parent.
python3 - "$s" <<'PY'
import os, sys
top = sys.argv[1]
def files(folder, count, size):
    os.makedirs(folder, exist_ok=True)
    blob = os.urandom(max(size, 1))
    for i in range(count):
        with open(os.path.join(folder, "f%04d.dat" % i), "wb") as f:
            f.write(blob[: size - (i * 97) % max(size // 3, 1)])
files(f"{top}/写真/2023", 6, 900000)
files(f"{top}/写真/2024", 9, 1100000)
files(f"{top}/音楽/アルバム", 4, 1500000)
files(f"{top}/ソース/src", 900, 700)
files(f"{top}/ソース/include", 400, 300)
files(f"{top}/ドキュメント", 40, 52000)
files(f"{top}/.cache/thumbnails", 300, 9000)
files(f"{top}/バックアップ/2022", 3, 2000000)
files(f"{top}/バックアップ/2021", 2, 1800000)
files(f"{top}/ダウンロード", 12, 250000)
files(f"{top}/プロジェクト/web/assets", 120, 14000)
files(f"{top}/プロジェクト/web", 30, 3000)
PY
{ for i in $(seq 0 25); do if [ "$i" -eq 23 ]; then echo "$s"; else echo; fi; done; } > "$tmp/norvessa.drv"
"$tmp/norvessa-cli" measure X: > /dev/null
{ echo; echo; echo; echo; echo 170; echo 190; echo 200
  echo; echo; echo; echo 1; echo 1
  for i in $(seq 12 19); do echo; done; echo 0; echo 24; } > "$tmp/norvessa.prm"
# Show the count of all files too (the seventh button), and two excluded
# folders: the source tree alone, the backups with their subfolders.
printf '%s\r\n' 111110100 260 1 1 01111 '' '' '' '' '' '0=X:\ソース\' '1=X:\バックアップ\' > "$tmp/norvessa_X.rks"
out="$PWD/docs/screenshots"
mkdir -p "$out"

# A display of its own: Xvfb picks a free number and writes it to fd 3, so
# that other screenshot runs on the machine are never typed into.
Xvfb -displayfd 3 -screen 0 ${SCREEN}x24 -nolisten tcp 3>"$tmp/display" >/dev/null 2>&1 &
for _ in $(seq 50); do [ -s "$tmp/display" ] && break; sleep 0.1; done
[ -s "$tmp/display" ] || { echo "screenshots_rank.sh: Xvfb did not start" >&2; exit 1; }
export DISPLAY=:$(head -1 "$tmp/display")
openbox >/dev/null 2>&1 &
sleep 1
"$tmp/norvessa" "X:\\" >/dev/null 2>&1 &
wait_window "Quorvalix - Norvessa" 20
win=$FOUND
xdotool windowactivate --sync "$win" 2>/dev/null || true
sleep 1
xdotool key ctrl+r
wait_window "^ ランキング$"
sleep 1.5
shoot_screen rank.png
xdotool key Escape
wait_closed "^ ランキング$"
tr -d '\r' < "$tmp/norvessa_X.rks"
