#!/usr/bin/env bash
# What the file index costs the measurement, and how fast "norvessa-cli files"
# answers from it, in one run:
#   1. measure with the index against measure --no-index, warm and cold, on a
#      generated tree of 1,000,000 files and on /usr (medians, ratio);
#   2. peak memory (max RSS) of both: bytes a file that the index adds;
#   3. the index file's size a file;
#   4. whole-process times of "files" on the million-file index (top 1000 of
#      the drive, of one folder, a name search), and du -a | sort -n | tail
#      answering the top-1000 question from the disk.
# Prints a table of values, goals and PASS/MISS.
#
#   bench/files.sh                     1,000,000 files, 5 warm rounds, 3 cold
#   FILES=100000 bench/files.sh        a smaller tree, for trying it out
#   ROUNDS=7 COLD_ROUNDS=5 bench/files.sh
#
# Environment: FILES, ROUNDS, COLD_ROUNDS, QUERY_RUNS (hyperfine runs of each
# query, default 30), NORVESSA_CLI (executable to time, default
# build/release/norvessa-cli, built when not given), TMPDIR (where the tree
# goes; a real disk, not tmpfs). Cold runs need root (they drop the page
# cache); without it they are left out with a note.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
. bench/common.sh

nfiles=${FILES:-1000000}
rounds=${ROUNDS:-5}
cold_rounds=${COLD_ROUNDS:-3}
query_runs=${QUERY_RUNS:-30}
case ${1:-} in
-h | --help)
    sed -n '2,21p' "$0" | sed 's/^# \{0,1\}//'
    exit 0
    ;;
"") ;;
*)
    echo "files.sh: unknown argument $1" >&2
    exit 2
    ;;
esac
for v in "$nfiles" "$rounds" "$cold_rounds" "$query_runs"; do
    [[ $v =~ ^[1-9][0-9]*$ ]] || { echo "files.sh: FILES, ROUNDS, COLD_ROUNDS and QUERY_RUNS must be positive numbers" >&2; exit 2; }
done

# --- tools ---------------------------------------------------------------
missing=()
[[ -x /usr/bin/time ]] || missing+=(time)
command -v hyperfine >/dev/null || missing+=(hyperfine)
if ((${#missing[@]})); then
    note "installing ${missing[*]}"
    if ((EUID == 0)); then
        apt-get install -y "${missing[@]}" >/dev/null || note "apt-get failed; going on without ${missing[*]}"
    elif command -v sudo >/dev/null; then
        sudo apt-get install -y "${missing[@]}" >/dev/null || note "apt-get failed; going on without ${missing[*]}"
    else
        note "not root and no sudo; going on without ${missing[*]}"
    fi
fi
[[ -x /usr/bin/time ]] || { note "files.sh: /usr/bin/time is needed for peak memory"; exit 1; }
have_hyperfine=0
command -v hyperfine >/dev/null && have_hyperfine=1

can_drop=0
if ((EUID == 0)) && { sync && echo 3 >/proc/sys/vm/drop_caches; } 2>/dev/null; then
    can_drop=1
else
    note "NOTE: dropping the page cache needs root (and a kernel that allows it): no cold runs"
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/nrvs-files.XXXXXX") || exit 1
trap 'note "removing $work"; rm -rf "$work"' EXIT
trap 'exit 130' INT TERM

# One copy of the tool with a drive map of its own: X: is the generated tree,
# U: is /usr, so that both are measured as whole drives (a folder measurement
# writes no index unless the drive has one already).
mkdir -p "$work/bin"
cli=$(prepare_cli "$work/bin") || exit 1
tree=$work/tree
{ for i in $(seq 0 51); do
    case $i in
    20) echo "/usr" ;;
    23) echo "$tree" ;;
    *) echo ;;
    esac
done; } >"$work/bin/norvessa.drv"

avail_kb=$(df -Pk "$work" | awk 'NR==2{print $4}')
need_kb=$((nfiles * 5))  # about 4 KB a file with data, an inode and folders
if ((avail_kb < need_kb)); then
    note "files.sh: $((avail_kb / 1024)) MB free under $work, about $((need_kb / 1024)) MB needed"
    exit 1
fi

# --- the tree ------------------------------------------------------------
note "generating $nfiles files under $tree"
t0=$(now)
python3 - "$tree" "$nfiles" >"$work/gen.txt" <<'PY' || { note "generating the tree failed"; exit 1; }
# Same seed, same tree. Folders of about 50 files three levels down (20 top
# folders of 50 folders of 20), 2 % of the files one level up; names of about
# 20 bytes; a quarter empty, most of the rest small with real data, a fifth
# sparse and large (so that the largest files are many and differ), 1 % further
# names (hard links) of files in other folders.
import math, os, random, sys

root, nfiles = sys.argv[1], int(sys.argv[2])
rnd = random.Random(20261207)
words = ["report", "cache", "invoice", "photo", "backup", "thumbnail", "notes", "draft",
         "archive", "video", "render", "export", "session", "build", "sample", "track",
         "scan", "minutes", "budget", "letter", "diagram", "mail", "journal", "log"]
exts = [".txt", ".jpg", ".png", ".pdf", ".log", ".tmp", ".mp4", ".docx", ".zip", ".dat", ".csv", ""]
os.makedirs(root)
scale = max(1, round(nfiles / 1000000 * 20000))   # leaf folders: ~50 files each
tops = 20
mids_per_top = max(1, round(scale / tops / 20))
mids, leaves = [], []
for t in range(tops):
    tp = os.path.join(root, "t%02d" % t)
    os.mkdir(tp)
    for m in range(mids_per_top):
        mp = os.path.join(tp, "m%03d" % m)
        os.mkdir(mp)
        mids.append(mp)
        for l in range(20):
            lp = os.path.join(mp, "leaf%02d" % l)
            os.mkdir(lp)
            leaves.append(lp)
content = rnd.randbytes(1 << 16)
written = sparse = 0
plan = []        # (path, -1 empty | 0 data | 1 sparse, size, data offset)
links = []       # (existing path, further name)
made = []        # (folder index, path) of files that may get a further name
for i in range(nfiles):
    if rnd.random() < 0.02:
        fi = -1 - rnd.randrange(len(mids))
        folder = mids[-1 - fi]
    else:
        fi = rnd.randrange(len(leaves))
        folder = leaves[fi]
    name = "%s_%06x%s" % (rnd.choice(words), i, rnd.choice(exts))
    path = os.path.join(folder, name)
    if made and rnd.random() < 0.01:
        src_fi, src = made[rnd.randrange(len(made))]
        if src_fi != fi:
            links.append((src, path))
            continue
    r = rnd.random()
    if r < 0.25:
        plan.append((path, -1, 0, 0))
    elif r < 0.81:
        size = int(math.exp(rnd.uniform(0, math.log(8192))))
        plan.append((path, 0, size, rnd.randrange(0, len(content) - size)))
        written += size
    else:
        size = int(math.exp(rnd.uniform(math.log(10000), math.log(100 << 20))))
        plan.append((path, 1, size, 0))
        sparse += size
    if len(made) < 200000:
        made.append((fi, path))

# Creating files waits on the disk more than on the processor: four writers,
# each on folders of its own (writers in one folder wait on its lock).
plan.sort()
def write(part):
    for path, kind, size, start in part:
        fd = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o644)
        if kind == 0:
            os.write(fd, content[start:start + size])
        elif kind == 1:
            os.ftruncate(fd, size)
        os.close(fd)
pids = []
for k in range(4):
    pid = os.fork()
    if pid == 0:
        try:
            write(plan[k * len(plan) // 4:(k + 1) * len(plan) // 4])
        finally:
            os._exit(0)
    pids.append(pid)
for pid in pids:
    _, status = os.waitpid(pid, 0)
    if status:
        sys.exit("a writer failed")
for src, dst in links:
    os.link(src, dst)
links = len(links)
print("files %d (%d further names of files in other folders), folders %d, written bytes %d, sparse bytes %d"
      % (nfiles, links, tops + len(mids) + len(leaves), written, sparse))
PY
sync
t1=$(now)
note "generated in $(((t1 - t0) / 1000000)) s: $(cat "$work/gen.txt")"

# --- measuring: with and without the index -------------------------------
results=$work/results.tsv
: >"$results"
# label kind(warm|cold) variant(index|noindex) round -> "label kind variant round us rssKB rc"
measure_once() {
    local label=$1 kind=$2 variant=$3 round=$4 drive t0 t1 rc
    [[ $label == tree ]] && drive=X: || drive=U:
    local -a cmd=("$cli" measure "$drive")
    [[ $variant == noindex ]] && cmd=("$cli" measure --no-index "$drive")
    if [[ $kind == cold ]]; then
        sync
        echo 3 >/proc/sys/vm/drop_caches
    fi
    t0=$(now)
    /usr/bin/time -f '%M' -o "$work/rss" "${cmd[@]}" >"$work/out.measure" 2>"$work/err.measure"
    rc=$?
    t1=$(now)
    ((rc)) && note "  $label $variant exited with $rc: $(head -c 300 "$work/err.measure")"
    printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$label" "$kind" "$variant" "$round" $((t1 - t0)) "$(tail -n 1 "$work/rss")" "$rc" >>"$results"
}
variants=(index noindex)
for label in tree usr; do
    note "$label: warm-up"
    measure_once "$label" warm noindex 0
    measure_once "$label" warm index 0
    cp "$work/out.measure" "$work/reported.$label"
    for ((r = 1; r <= rounds; r++)); do
        note "$label: warm round $r of $rounds"
        # The one that starts alternates, so that noise falls on both alike.
        for ((k = 0; k < 2; k++)); do measure_once "$label" warm "${variants[(k + r) % 2]}" "$r"; done
    done
    if ((can_drop)); then
        for ((r = 1; r <= cold_rounds; r++)); do
            note "$label: cold round $r of $cold_rounds"
            for ((k = 0; k < 2; k++)); do measure_once "$label" cold "${variants[(k + r) % 2]}" "$r"; done
        done
    fi
    # The last run of each round pair may have been --no-index; the queries
    # below need the tree's index.
    [[ $label == tree ]] && measure_once tree warm index 99
done
idx=$work/bin/NRVS_X.idx
[[ -s $idx ]] || { note "files.sh: no index $idx was written"; exit 1; }
sed -i '/\t99\t/d' "$results"

# --- queries on the million-file index ------------------------------------
queries=$work/queries.tsv
: >"$queries"
folder='X:\t07\'
pattern='cache*.tmp'
q_names=("files X: --top 1000" "files 'X:\\t07\\' --top 1000" "files X: --name '$pattern'" "du -a -b | sort -n | tail -n 1000")
q_cmds=("$cli files X: --top 1000"
    "$cli files 'X:\\t07\\' --top 1000"
    "$cli files X: --name '$pattern'"
    "bash -c \"du -a -b -x '$tree' | sort -n | tail -n 1000\"")
# What each answers, once, to check that they see the same files.
"$cli" files X: --top 1000 >"$work/q.top" 2>&1
"$cli" files "$folder" --top 1000 >"$work/q.folder" 2>&1
"$cli" files X: --name "$pattern" >"$work/q.name" 2>&1
du -a -b -x "$tree" | sort -n | tail -n 1000 >"$work/q.du"
for i in "${!q_cmds[@]}"; do
    runs=$query_runs
    ((i == 3)) && runs=$rounds   # du walks the whole tree: seconds a run
    note "timing ${q_names[$i]} ($runs runs)"
    if ((have_hyperfine)); then
        hyperfine -N --warmup 2 --runs "$runs" --export-json "$work/hf.$i.json" -- \
            "${q_cmds[$i]}" >/dev/null 2>"$work/hf.err" ||
            note "  hyperfine failed: $(head -c 300 "$work/hf.err")"
        python3 - "$work/hf.$i.json" "$i" >>"$queries" <<'PY'
import json, statistics, sys
t = json.load(open(sys.argv[1]))["results"][0]["times"]
print("%s\t%d\t%.0f\t%.0f\t%.0f" % (sys.argv[2], len(t), statistics.median(t) * 1e6, min(t) * 1e6, max(t) * 1e6))
PY
    else
        ts=()
        for ((r = 0; r < runs + 2; r++)); do
            t0=$(now)
            bash -c "${q_cmds[$i]}" >/dev/null 2>&1
            t1=$(now)
            ((r >= 2)) && ts+=($((t1 - t0)))
        done
        printf '%s\n' "${ts[@]}" | sort -n | awk -v q="$i" '{a[NR]=$1} END {m=(NR%2)?a[(NR+1)/2]:(a[NR/2]+a[NR/2+1])/2; printf "%s\t%d\t%.0f\t%.0f\t%.0f\n", q, NR, m, a[1], a[NR]}' >>"$queries"
    fi
done

# What writing the index's bytes costs by itself: the measurement writes the
# index after the walk and flushes it to the disk before renaming it, as dd
# with conv=fsync does here (reading the index back from the page cache).
fsync_ms=""
for ((r = 0; r < rounds; r++)); do
    t0=$(now)
    dd if="$idx" of="$work/idx.copy" bs=1M conv=fsync status=none
    t1=$(now)
    fsync_ms+="$(((t1 - t0) / 1000)) "
    rm -f "$work/idx.copy"
done

# --- report --------------------------------------------------------------
head16=$(od -An -t u8 -j 16 -N 8 "$idx" | tr -d ' ')
pool=$(od -An -t u8 -j 32 -N 8 "$idx" | tr -d ' ')
idx_bytes=$(stat -c %s "$idx")
uidx=$work/bin/NRVS_U.idx
usr_idx=0,0,0
[[ -s $uidx ]] && usr_idx="$(od -An -t u8 -j 16 -N 8 "$uidx" | tr -d ' '),$(od -An -t u8 -j 32 -N 8 "$uidx" | tr -d ' '),$(stat -c %s "$uidx")"
echo
echo "The file index: $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg), $rounds warm rounds after a warm-up, $cold_rounds cold"
echo "generated tree: $(cat "$work/gen.txt")"
python3 - "$results" "$queries" "$head16" "$pool" "$idx_bytes" "$can_drop" "$have_hyperfine" "$usr_idx" "$fsync_ms" "${q_names[@]}" <<'PY'
import statistics, sys

rows = [l.rstrip("\n").split("\t") for l in open(sys.argv[1], encoding="utf-8")]
qrows = [l.rstrip("\n").split("\t") for l in open(sys.argv[2], encoding="utf-8")]
nidx, pool, idx_bytes = int(sys.argv[3]), int(sys.argv[4]), int(sys.argv[5])
can_drop, have_hf = sys.argv[6] == "1", sys.argv[7] == "1"
usr_idx = tuple(int(x or 0) for x in sys.argv[8].split(","))
fsync_ms = [int(x) for x in sys.argv[9].split()]
qnames = sys.argv[10:]

def runs(label, kind, variant):
    return [r for r in rows if r[0] == label and r[1] == kind and r[2] == variant and r[3] != "0" and r[6] == "0"]

def med(vals):
    return statistics.median(vals) if vals else float("nan")

table = []  # (what, value text, goal text, verdict)
def verdict(ok):
    return "PASS" if ok else "MISS"

print()
print("  %-40s %10s %17s %10s" % ("measure", "median s", "min..max s", "RSS MB"))
rss = {}
for label, name in (("tree", "generated tree"), ("usr", "/usr")):
    for kind in ("warm", "cold"):
        if kind == "cold" and not can_drop:
            continue
        m = {}
        for variant in ("index", "noindex"):
            rr = runs(label, kind, variant)
            secs = [int(r[4]) / 1e6 for r in rr]
            kb = [int(r[5]) for r in rr if r[5].isdigit()]
            if not secs:
                continue
            m[variant] = med(secs)
            rss[(label, kind, variant)] = med(kb)
            print("  %-40s %10.3f %8.3f..%-8.3f %10.1f" % (
                "%s, %s, %s" % (name, kind, "with the index" if variant == "index" else "--no-index"),
                m[variant], min(secs), max(secs), med(kb) / 1024))
        if len(m) == 2:
            ratio = m["index"] / m["noindex"]
            goal = 1.10 if kind == "warm" else 1.05
            table.append(("measure %s, %s: index / no index" % (name, kind), "%.3f" % ratio,
                          "<= %.2f" % goal, verdict(ratio <= goal)))
if not can_drop:
    table.append(("measure, cold", "not run", "<= 1.05", "(no root: the page cache cannot be dropped)"))

# Memory: medians of the warm runs; files and names from each index's header.
# The name pool holds the folders' names too, so the goal is a little generous.
names_per_file = pool / nidx if nidx else float("nan")
for label, name, (files, npool, size) in (("tree", "generated tree", (nidx, pool, idx_bytes)),
                                         ("usr", "/usr", usr_idx)):
    if not files:
        continue
    goal = 48 + npool / files
    a, b = rss.get((label, "warm", "index")), rss.get((label, "warm", "noindex"))
    if a is not None and b is not None:
        diff = (a - b) * 1024
        table.append(("%s: peak RSS added, a file" % name, "%.1f B" % (diff / files),
                      "<= %.1f B (48 + names)" % goal, verdict(diff / files <= goal)))
    table.append(("%s: index file, a file" % name, "%.1f B" % (size / files),
                  "<= %.1f B (48 + names)" % goal, verdict(size / files <= goal)))

print()
print("  index of the generated tree: %d files, name pool %d bytes (%.1f a file, folders' names included), file %d bytes"
      % (nidx, pool, names_per_file, idx_bytes))
if fsync_ms:
    print("  writing the tree's index file again (dd conv=fsync): median %.3f s, %.3f..%.3f"
          % (med(fsync_ms) / 1000, min(fsync_ms) / 1000, max(fsync_ms) / 1000))
if usr_idx[0]:
    print("  index of /usr: %d files, name pool %d bytes (%.1f a file), file %d bytes"
          % (usr_idx[0], usr_idx[1], usr_idx[1] / usr_idx[0], usr_idx[2]))
print()
print("  %-40s %6s %10s %17s" % ("query (whole process, %s)" % ("hyperfine -N" if have_hf else "bash clock"),
                                  "runs", "median ms", "min..max ms"))
qmed = {}
for r in qrows:
    i, n, m, lo, hi = int(r[0]), int(r[1]), float(r[2]) / 1000, float(r[3]) / 1000, float(r[4]) / 1000
    qmed[i] = m
    print("  %-40s %6d %10.1f %8.1f..%-8.1f" % (qnames[i], n, m, lo, hi))
goals = {0: 100, 1: 100, 2: 200}
for i, g in goals.items():
    if i in qmed:
        table.append((qnames[i], "%.1f ms" % qmed[i], "< %d ms" % g, verdict(qmed[i] < g)))
if 0 in qmed and 3 in qmed:
    table.append(("du pipeline / files --top 1000", "%.1f" % (qmed[3] / qmed[0]), "(peer, above 1: faster)", ""))

print()
print("  %-44s %14s %28s  %s" % ("", "measured", "goal", ""))
for what, val, goal, v in table:
    print("  %-44s %14s %28s  %s" % (what, val, goal, v))
PY
echo
echo "What they answered:"
echo "  measure X: $(grep -E '^(files|seconds)' "$work/reported.tree" | tr '\n' ' ')"
echo "  measure U: $(grep -E '^(files|seconds)' "$work/reported.usr" | tr '\n' ' ')"
echo "  files X: --top 1000: $(wc -l <"$work/q.top") lines, largest: $(head -n 1 "$work/q.top" | cut -f1,2)"
echo "  du -a -b | sort -n | tail: largest entries: $(tail -n 2 "$work/q.du" | head -n 1 | tr '\t' ' ') (folders count too)"
echo "  files $folder --top 1000: $(wc -l <"$work/q.folder") lines"
echo "  files X: --name '$pattern': $(wc -l <"$work/q.name") lines (100 unless --top), first: $(head -n 1 "$work/q.name" | cut -f1)"
