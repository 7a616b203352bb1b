#!/usr/bin/env bash
# Makes the screenshots in docs/screenshots: the program beside its own
# settings in a temporary folder, a sample folder given a drive letter and
# measured, the window shown under Xvfb with a window manager (openbox, so
# that the frame is what a desktop shows) and captured.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/screenshot_common.sh
prepare_screenshots xvfb xauth imagemagick openbox x11-utils
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cp "$BIN/norvessa" "$BIN/norvessa-cli" "$tmp/"
s="$tmp/sample"
mkdir -p "$s/写真/2024" "$s/写真/2025" "$s/音楽" "$s/projects/norvessa/src" "$s/projects/notes" "$s/空のフォルダ" "$s/.cache"
head -c 3000000 /dev/urandom > "$s/写真/2024/旅行.jpg"
head -c 1800000 /dev/urandom > "$s/写真/2025/桜.jpg"
for i in $(seq 1 40); do head -c $((i * 1500)) /dev/urandom > "$s/写真/2025/img$i.jpg"; done
head -c 5200000 /dev/urandom > "$s/音楽/アルバム.flac"
for i in $(seq 1 300); do head -c $((i * 37)) /dev/urandom > "$s/projects/norvessa/src/f$i.cpp"; done
for i in $(seq 1 50); do echo "note $i" > "$s/projects/notes/n$i.txt"; done
head -c 700000 /dev/urandom > "$s/.cache/blob"
deep="$s/projects/norvessa/src/ui/main/widgets/tree/深い階層のフォルダ/さらに深いフォルダ"
mkdir -p "$deep/最後のフォルダ"
for i in 1 2 3; do head -c $((i * 20000)) /dev/urandom > "$deep/最後のフォルダ/data$i.bin"; done
head -c 64000 /dev/urandom > "$deep/メモ.txt"
head -c 1234 /dev/urandom > "$s/readme.txt"
head -c 99999 /dev/urandom > "$s/予定表.xlsx"
# Letter X (line 23 of the drive map) is the sample folder.
{ for i in $(seq 0 25); do if [ "$i" -eq 23 ]; then echo "$s"; else echo; fi; done; } > "$tmp/norvessa.drv"
"$tmp/norvessa-cli" measure X: > /dev/null
# Parameters: file list on, start drive X (24), no splash; the lines after
# them are left out so that they take their defaults.
{ echo; echo; echo; echo; echo 170; echo 190; echo 200
  echo; echo; echo; echo 1; echo 1
  for i in $(seq 12 19); do echo; done; echo 0; echo 24; } > "$tmp/norvessa.prm"
# Each shot starts as a first start: the program stores its window on closing.
cp "$tmp/norvessa.prm" "$tmp/first.prm"
out="$PWD/docs/screenshots"
mkdir -p "$out"
shoot() {  # shoot NAME [START-PATH] [SCREEN]
  cp "$tmp/first.prm" "$tmp/norvessa.prm"
  xvfb-run -a -s "-screen 0 ${3:-$SCREEN}x24" bash -c "
    openbox & wm=\$!
    # A window mapped before the window manager runs keeps no frame.
    for i in \$(seq 50); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q window && break; sleep 0.1; done
    sleep 2
    '$tmp/norvessa' ${2:+'$2'} & pid=\$!
    sleep 4
    import -window root '$out/$1.png'
    kill -TERM \$pid; wait \$pid || true
    kill \$wm; wait \$wm || true"
  echo "wrote $out/$1.png"
}
shoot main
shoot main_2560 "" 2560x1440
shoot folder "$s/projects"
shoot deep "$deep"
