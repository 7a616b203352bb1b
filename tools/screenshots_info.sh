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
cp build/release/norvessa build/release/norvessa-cli build/release/norvessa.html "$tmp/"
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

export DISPLAY=:96
Xvfb $DISPLAY -screen 0 ${SCREEN}x24 -nolisten tcp >/dev/null 2>&1 &
# A busy machine can take a while to bring the server up.
for _ in $(seq 20); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.5; done
openbox >/dev/null 2>&1 &
sleep 1
"$tmp/norvessa" "X:\\写真\\" >/dev/null 2>&1 &
sleep 4
win=$(xdotool search --name "Norvessa" | head -1)
xdotool windowactivate --sync "$win" 2>/dev/null || true
xdotool key ctrl+i
sleep 1.5
import -window root "$out/driveinfo.png"; echo "wrote $out/driveinfo.png"
xdotool key Escape
sleep 0.5
xdotool key alt+h
sleep 0.5
xdotool key v
sleep 1.5
import -window root "$out/version.png"; echo "wrote $out/version.png"
xdotool key Escape
sleep 0.5
xdotool windowactivate --sync "$win" 2>/dev/null || true
xdotool key ctrl+v
sleep 1.5
xdotool windowactivate --sync "$win" 2>/dev/null || true
xdotool key ctrl+l
sleep 3
head -c 1500000 /dev/urandom > "$s/写真/2024/追加.jpg"
sleep 4
import -window root "$out/monitors.png"; echo "wrote $out/monitors.png"
kill %3 2>/dev/null || true
