#!/usr/bin/env bash
# Screenshots of the main window's commands in docs/screenshots: the popup
# menu of the list, the property dialog, the progress dialog of a copy, the
# cluster simulation after a run, the settings and the drives to measure.
# The program runs beside its own settings in a temporary folder, under Xvfb
# with the openbox window manager, driven with xdotool.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/screenshot_common.sh
prepare_screenshots xvfb xauth imagemagick openbox xdotool
tmp=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null; wait; rm -rf "$tmp"' EXIT
cp "$BIN/norvessa" "$BIN/norvessa-cli" "$BIN/norvessa.html" "$tmp/"
s="$tmp/sample"
mkdir -p "$s/写真/2024" "$s/音楽" "$s/バックアップ" "$s/copies"
head -c 3000000 /dev/urandom > "$s/写真/2024/旅行.jpg"
head -c 5200000 /dev/urandom > "$s/音楽/アルバム.flac"
head -c 1234 /dev/urandom > "$s/readme.txt"
# Enough small files that the copy's progress dialog stays up a while.
python3 - "$s/バックアップ" <<'PY'
import os, sys
top = sys.argv[1]
blob = os.urandom(8192)
for i in range(30000):
    d = os.path.join(top, "d%03d" % (i % 300))
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, "f%05d.dat" % i), "wb") as f:
        f.write(blob[: (i * 37) % 8192])
PY
{ for i in $(seq 0 25); do if [ "$i" -eq 23 ]; then echo "$s"; else echo; fi; done; } > "$tmp/norvessa.drv"
"$tmp/norvessa-cli" measure X: > /dev/null
# Line 42 (several drives measured) on, so that the drives-to-measure
# dialog shows; the lines before it hold their defaults (an empty line would
# be an empty setting), the later ones are left out and take theirs.
{ echo; echo; echo; echo; echo 170; echo 190; echo 200
  echo; echo; echo; echo 1; echo 1
  for i in $(seq 12 19); do echo; done; echo 0; echo 24
  echo 0; echo 0; echo 111; echo 1111; echo; echo; echo; echo
  echo 010; echo 0100; echo 00100000000000000000000000
  for i in $(seq 33 39); do echo; done; echo 010000; echo 7; echo 1; } > "$tmp/norvessa.prm"
out="$PWD/docs/screenshots"
mkdir -p "$out"

Xvfb -displayfd 3 -screen 0 ${SCREEN}x24 -nolisten tcp 3>"$tmp/display" >/dev/null 2>&1 &
for _ in $(seq 50); do [ -s "$tmp/display" ] && break; sleep 0.1; done
[ -s "$tmp/display" ] || { echo "screenshots_commands.sh: Xvfb did not start" >&2; exit 1; }
export DISPLAY=:$(head -1 "$tmp/display")
openbox >/dev/null 2>&1 &
sleep 1
"$tmp/norvessa" "X:\\" >/dev/null 2>&1 &
wait_window "Quorvalix - Norvessa" 20
win=$FOUND
xdotool windowactivate --sync "$win" 2>/dev/null || true
sleep 1
# Places in the window (its own coordinates): the list's rows are 19 pixels
# apart from the drive's row; バックアップ is the fourth below it, 写真 the
# fifth (copies, バックアップ, 写真, 音楽 after the folders' total).
# The list's names lie a little left of the window's middle at every screen
# size (the tree left of them widens with the window).
eval "$(xdotool getwindowgeometry --shell "$win")"
NAMES_X=$((WIDTH * 45 / 100))
row() {
  local n=$1
  shift
  xdotool mousemove --window "$win" "$NAMES_X" $((ROW0 + 19 * n)) "$@"
}
ROW0=${ROW0:-77}
row 5 click 1
sleep 0.5
row 5 click 3
sleep 1
shoot_screen popup.png
xdotool key Escape
sleep 0.5
xdotool key ctrl+p
wait_window "のプロパティ$"
shoot_screen properties.png
xdotool key Escape
wait_closed "のプロパティ$"
# Copy バックアップ into copies from the popup: in the folder browser, opened
# at the drive (expanded with Right), copies is the first folder below it;
# then the question is answered with Yes.
row 4 click 1
sleep 0.5
row 4 click 3
sleep 1
xdotool key c
wait_window "^コピー先を選択してください。$"
xdotool key Right
sleep 0.3
xdotool key Down
sleep 0.3
xdotool key Return
wait_closed "^コピー先を選択してください。$"
sleep 0.5
xdotool key Return
wait_window "^Norvessa コピー中\\.\\.\\.$"
sleep 1
shoot_screen progress.png
wait_closed "^Norvessa コピー中" 120
sleep 1
# The simulation of the drive's root at 4096-byte clusters, after a run.
row 0 click 1
sleep 0.5
xdotool key ctrl+s
wait_window "^ シミュレーション$"
xdotool key ctrl+a
xdotool type "4096"
xdotool key alt+g
sleep 4
shoot_screen simulation.png
xdotool key Escape
wait_closed "^ シミュレーション$"
xdotool key ctrl+u
wait_window "^ 設定$"
shoot_screen settings.png
xdotool key Escape
wait_closed "^ 設定$"
xdotool key ctrl+d
wait_window "^計測ドライブ$"
shoot_screen drives.png
xdotool key Escape
wait_closed "^計測ドライブ$"
