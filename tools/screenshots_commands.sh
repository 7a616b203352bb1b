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
trap 'kill $(jobs -p) 2>/dev/null; rm -rf "$tmp"' EXIT
cp build/release/norvessa build/release/norvessa-cli build/release/norvessa.html "$tmp/"
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

export DISPLAY=:97
Xvfb $DISPLAY -screen 0 ${SCREEN}x24 -nolisten tcp >/dev/null 2>&1 &
sleep 1
openbox >/dev/null 2>&1 &
sleep 1
"$tmp/norvessa" "X:\\" >/dev/null 2>&1 &
sleep 4
win=$(xdotool search --name "Norvessa" | head -1)
xdotool windowactivate --sync "$win" 2>/dev/null || true
# The window sits at the top left; list rows are 19 pixels apart, the
# fourth folder row (写真) at y 191 and バックアップ at y 172.
xdotool mousemove 300 191 click 1
sleep 0.5
xdotool mousemove 300 191 click 3
sleep 1
import -window root "$out/popup.png"; echo "wrote $out/popup.png"
xdotool key Escape
sleep 0.5
xdotool key ctrl+p
sleep 1.5
import -window root "$out/properties.png"; echo "wrote $out/properties.png"
xdotool key Escape
sleep 0.5
# Copy バックアップ into copies from the popup; the folder dialog gets the
# path typed, then the confirmation is answered with Yes.
xdotool mousemove 300 172 click 1
sleep 0.5
xdotool mousemove 300 172 click 3
sleep 1
xdotool key c
sleep 2
xdotool type --delay 20 "$s/copies"
xdotool key Return
sleep 1.5
xdotool key Return
sleep 1.5
import -window root "$out/progress.png"; echo "wrote $out/progress.png"
sleep 12
# The simulation of the drive's root at 4096-byte clusters, after a run.
xdotool mousemove 300 96 click 1
sleep 0.5
xdotool key ctrl+s
sleep 1.5
xdotool key ctrl+a
xdotool type "4096"
xdotool key alt+g
sleep 4
import -window root "$out/simulation.png"; echo "wrote $out/simulation.png"
xdotool key Escape
sleep 0.5
xdotool key ctrl+u
sleep 1.5
import -window root "$out/settings.png"; echo "wrote $out/settings.png"
xdotool key Escape
sleep 0.5
xdotool key ctrl+d
sleep 1.5
import -window root "$out/drives.png"; echo "wrote $out/drives.png"
xdotool key Escape
sleep 0.5
kill %3 2>/dev/null || true
