#!/usr/bin/env bash
# Measures one generated tree with the Linux tool and with the Windows tool
# under Wine, and compares the folder lines (sizes, counts, flags) of both.
#   wine-compare.sh LINUX_CLI WINDOWS_CLI_EXE [FILES FOLDERS]
# Run inside tools/wine-tests.sh, which sets Wine up. Wine reports
# differently, and so allowed: the occupied size of sparse files (Wine sets
# no sparse attribute and gives a file's length as its compressed size).
# Every other difference fails.
set -euo pipefail
linux_cli=$(realpath "$1")
win_cli=$(realpath "$2")
files=${3:-3000}
folders=${4:-300}
here=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/lin" "$work/win"
python3 "$here/bench/gen_tree.py" "$work/tree" "$files" "$folders" >/dev/null
cp "$linux_cli" "$work/lin/norvessa-cli"
cp "$win_cli" "$work/win/norvessa-cli.exe"
touch "$work/lin/norvessa.portable" "$work/win/norvessa.portable"
# T: is the tree in both drive maps (line 20), a native path of each system.
python3 - "$work" <<'PY'
import sys
w = sys.argv[1]
for sub, root in (("lin", w + "/tree"), ("win", "Z:" + w + "/tree")):
    lines = [""] * 26
    lines[19] = root
    open(f"{w}/{sub}/norvessa.drv", "w", newline="").write("\r\n".join(lines) + "\r\n")
PY
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}
start=$(date +%s.%N)
"$work/lin/norvessa-cli" measure T: >"$work/lin.out"
mid=$(date +%s.%N)
timeout 300 wine "$work/win/norvessa-cli.exe" measure T: >"$work/win.out" 2>"$work/win.err" </dev/null ||
  { echo "wine-compare: the Windows measurement failed"; cat "$work/win.out" "$work/win.err"; exit 1; }
end=$(date +%s.%N)
"$work/lin/norvessa-cli" tree T: | tail -n +2 >"$work/lin.txt"
timeout 300 wine "$work/win/norvessa-cli.exe" tree T: >"$work/win.tree" 2>/dev/null </dev/null
tail -n +2 "$work/win.tree" | tr -d '\r' >"$work/win.txt"
python3 - "$work" "$start" "$mid" "$end" <<'PY'
import os, sys
w, start, mid, end = sys.argv[1], *map(float, sys.argv[2:])
def lines(name):
    out = {}
    for line in open(f"{w}/{name}", encoding="utf-8", errors="surrogateescape"):
        path, _, fields = line.rstrip("\n").rpartition(" > ")
        out[path] = fields.split(":")
    return out
lin, win = lines("lin.txt"), lines("win.txt")
# Folders holding a sparse file, and every folder above them.
sparse = set()
root = f"{w}/tree"
for folder, _, names in os.walk(root):
    for n in names:
        st = os.lstat(os.path.join(folder, n))
        if st.st_blocks * 512 < st.st_size:
            rel = os.path.relpath(folder, root)
            parts = [] if rel == "." else rel.split(os.sep)
            for k in range(len(parts) + 1):
                sparse.add("T:\\" + "".join(p + "\\" for p in parts[:k]))
same = occupied = other = 0
for path in sorted(set(lin) | set(win)):
    a, b = lin.get(path), win.get(path)
    if a == b:
        same += 1
        continue
    if a and b and all(x == y for i, (x, y) in enumerate(zip(a, b)) if i not in (1, 3)) and path in sparse:
        occupied += 1
        continue
    other += 1
    if other <= 10:
        print(f"  differs: {path}\n    linux   {a}\n    windows {b}")
print(f"wine-compare: {len(lin)} folder lines on Linux, {len(win)} under Wine: {same} identical, "
      f"{occupied} differ only in the occupied size of sparse files, {other} differ otherwise")
print(f"wine-compare: measure took {mid - start:.2f} s on Linux, {end - mid:.2f} s under Wine (with Wine's start)")
sys.exit(1 if other or len(lin) != len(win) or not lin else 0)
PY
