#!/usr/bin/env bash
# Opens the window program of BIN_DIR on FOLDER, opens and closes the
# windows that keep settings (ranking, monitors, treemap, largest files,
# settings) and closes it, under the X display of the caller (an Xvfb with
# a window manager): what tools/compare-builds.sh compares of the windows.
#   tools/windows-session.sh BIN_DIR FOLDER
set -u
cd "$1"
./norvessa "$2" >/dev/null 2>&1 &
pid=$!
win=""
for _ in $(seq 1 100); do
    win=$(xdotool search --pid $pid --onlyvisible --name 'Norvessa' 2>/dev/null | head -1)
    [ -n "$win" ] && break
    sleep 0.1
done
[ -n "$win" ] || { kill $pid; exit 1; }
sleep 2
# Each command from the main window, then the window it opened is closed.
for keys in "ctrl+r Escape" "ctrl+v" "ctrl+l" "ctrl+t" "ctrl+b Escape" "ctrl+u Return"; do
    xdotool windowactivate --sync "$win" 2>/dev/null
    for k in $keys; do xdotool key --clearmodifiers "$k"; sleep 1.5; done
done
xdotool windowactivate --sync "$win" 2>/dev/null
xdotool key --clearmodifiers alt+F4
for _ in $(seq 1 50); do kill -0 $pid 2>/dev/null || exit 0; sleep 0.1; done
kill $pid
exit 1
