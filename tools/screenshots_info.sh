#!/usr/bin/env bash
# Screenshots of the drive information dialog, the version dialog, the drive
# monitor and the folder monitor in docs/screenshots. The program runs beside
# its own settings in a temporary folder, under Xvfb with the openbox window
# manager, driven with xdotool.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/screenshot_common.sh
prepare_screenshots xvfb xauth imagemagick openbox xdotool
tmp=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null; sleep 1; rm -rf "$tmp"' EXIT
cp "$BIN/norvessa" "$BIN/norvessa-cli" "$BIN/norvessa.html" "$tmp/"
s="$tmp/sample"
mkdir -p "$s/写真/2024" "$s/音楽"
head -c 3000000 /dev/urandom > "$s/写真/2024/旅行.jpg"
head -c 5200000 /dev/urandom > "$s/音楽/アルバム.flac"
{ for i in $(seq 0 25); do if [ "$i" -eq 23 ]; then echo "$s"; else echo; fi; done; } > "$tmp/norvessa.drv"
"$tmp/norvessa-cli" measure X: > /dev/null
{ echo; echo; echo; echo; echo 170; echo 190; echo 200
  echo; echo; echo; echo 1; echo 1
  for i in $(seq 12 19); do echo; done; echo 0; echo 24; } > "$tmp/norvessa.prm"
# The folder monitor counts every 2 seconds here, so that the shot shows a
# change; its place stays the default (empty lines).
printf '\r\n\r\n192\r\n2000\r\n' > "$tmp/norvessa.mfr"
out="$PWD/docs/screenshots"
mkdir -p "$out"

Xvfb -displayfd 3 -screen 0 ${SCREEN}x24 -nolisten tcp 3>"$tmp/display" >/dev/null 2>&1 &
for _ in $(seq 50); do [ -s "$tmp/display" ] && break; sleep 0.1; done
[ -s "$tmp/display" ] || { echo "screenshots_info.sh: Xvfb did not start" >&2; exit 1; }
export DISPLAY=:$(head -1 "$tmp/display")
openbox >/dev/null 2>&1 &
sleep 1
"$tmp/norvessa" "X:\\写真\\" >/dev/null 2>&1 &
wait_window "Quorvalix - Norvessa" 20
win=$FOUND
xdotool windowactivate --sync "$win" 2>/dev/null || true
sleep 1
xdotool key ctrl+i
wait_window "^ ドライブ情報$"
shoot_screen driveinfo.png
xdotool key Escape
wait_closed "^ ドライブ情報$"
xdotool key alt+h
sleep 0.5
xdotool key v
wait_window "^ バージョン情報$"
shoot_screen version.png
xdotool key Escape
wait_closed "^ バージョン情報$"
xdotool windowactivate --sync "$win" 2>/dev/null || true
xdotool key ctrl+v
wait_window "^ DriveMonitor$"
xdotool windowactivate --sync "$win" 2>/dev/null || true
xdotool key ctrl+l
wait_window "^ FolderMonitor$"
sleep 2
head -c 1500000 /dev/urandom > "$s/写真/2024/追加.jpg"
sleep 4
shoot_screen monitors.png
