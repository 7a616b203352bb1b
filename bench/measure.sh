#!/usr/bin/env bash
# Times "norvessa-cli measure" against du, ncdu and gdu on a generated folder
# tree and on /usr, in one run, and prints medians and ratios.
#
#   bench/measure.sh            ~300,000 files in 30,000 folders, 5 rounds
#   bench/measure.sh --quick    ~30,000 files in 3,000 folders, 3 rounds
#
# Environment: ROUNDS (counted rounds), NORVESSA_CLI (executable to time,
# default build/release/norvessa-cli), TMPDIR (where the tree is generated;
# keep it on a real disk, not tmpfs, or the numbers say little).
#
# The page cache is warm for every tool: one uncounted warm-up round runs
# first, and the tools take turns inside every round so that noise from other
# users of the machine falls on all of them alike.
set -uo pipefail

cd "$(dirname "$0")/.." || exit 1
top=$PWD

files=300000
folders=30000
rounds=${ROUNDS:-5}
for arg in "$@"; do
    case $arg in
    --quick)
        files=30000
        folders=3000
        rounds=${ROUNDS:-3}
        ;;
    -h | --help)
        sed -n '2,14p' "$0" | sed 's/^# \{0,1\}//'
        exit 0
        ;;
    *)
        echo "measure.sh: unknown argument $arg" >&2
        exit 2
        ;;
    esac
done
if ! [[ $rounds =~ ^[1-9][0-9]*$ ]]; then
    echo "measure.sh: ROUNDS must be a positive number" >&2
    exit 2
fi

note() { printf '%s\n' "$*" >&2; }

# --- peers ---------------------------------------------------------------
missing=()
command -v du >/dev/null || missing+=(coreutils)
command -v ncdu >/dev/null || missing+=(ncdu)
command -v gdu >/dev/null || missing+=(gdu)
[[ -x /usr/bin/time ]] || missing+=(time)
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
have_time=0
[[ -x /usr/bin/time ]] && have_time=1
((have_time)) || note "/usr/bin/time is missing: peak memory is not reported"

work=$(mktemp -d "${TMPDIR:-/tmp}/nrvs-bench.XXXXXX") || exit 1
trap 'rm -rf "$work"' EXIT
trap 'exit 130' INT TERM

# --- Norvessa ------------------------------------------------------------
cli=${NORVESSA_CLI:-build/release/norvessa-cli}
if [[ ! -x $cli && -z ${NORVESSA_CLI:-} && -f src/app/cli/Main.cpp ]]; then
    note "building $cli (release)"
    if ! { cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release &&
        cmake --build build/release --target norvessa-cli; } >"$work/build.log" 2>&1; then
        grep -m 5 -E 'error|FAILED' "$work/build.log" >&2
        note "the build failed"
    fi
fi
use_cli=1
if [[ ! -x $cli ]]; then
    note "NOTE: $cli does not exist: Norvessa is skipped, only the peers are timed"
    use_cli=0
elif ! "$cli" --help 2>&1 | grep -qE '^ +measure( |$)'; then
    note "NOTE: $cli has no 'measure' command yet: Norvessa is skipped, only the peers are timed"
    use_cli=0
fi
[[ $cli == /* ]] || cli=$top/$cli

# Norvessa keeps its drive cache beside the executable, and a folder
# measurement merges into it. Each measured tree gets a copy of the tool in a
# folder of its own, so that its cache holds that tree alone, as the peers do,
# and nothing of earlier runs.
cli_for() { # target -> the executable to run for it
    local dir=$work/norvessa-$(printf '%s' "$1" | md5sum | cut -c1-8)
    if [[ ! -x $dir/norvessa-cli ]]; then
        mkdir -p "$dir"
        cp "$cli" "$dir/norvessa-cli"
    fi
    printf '%s\n' "$dir/norvessa-cli"
}

# --- the test tree -------------------------------------------------------
tree=$work/tree

note "generating $files files in $folders folders under $tree"
t0=$EPOCHREALTIME
python3 bench/gen_tree.py "$tree" "$files" "$folders" >"$work/gen.txt" || { note "generating the tree failed"; exit 1; }
t1=$EPOCHREALTIME
gen_us=$((${t1//[!0-9]/} - ${t0//[!0-9]/}))
note "generated in $((gen_us / 1000000)).$(printf '%02d' $((gen_us % 1000000 / 10000))) s"

# --- timing --------------------------------------------------------------
tools=()
((use_cli)) && tools+=(norvessa)
tools+=(du-B1 du-b)
command -v ncdu >/dev/null && tools+=(ncdu)
command -v gdu >/dev/null && tools+=(gdu)

command_of() { # tool target -> the command line, one word per line
    case $1 in
    norvessa) printf '%s\n' "$(cli_for "$2")" measure "$2" ;;
    du-B1) printf '%s\n' du -x -B1 -s "$2" ;;
    du-b) printf '%s\n' du -x -b -s "$2" ;;
    ncdu) printf '%s\n' ncdu -0 -x -o /dev/null "$2" ;;
    gdu) printf '%s\n' gdu -n -x -p "$2" ;;
    esac
}

results=$work/results.tsv
: >"$results"

# Runs one tool once; appends "target tool round microseconds peakKB exit" to
# the results. Wall time comes from bash's own microsecond clock around the
# process, so /usr/bin/time's 10 ms resolution does not matter.
run_one() {
    local target=$1 tool=$2 round=$3 t0 t1 rc rss=
    local -a cmd
    mapfile -t cmd < <(command_of "$tool" "$target")
    if ((have_time)); then
        t0=$EPOCHREALTIME
        /usr/bin/time -f '%M' -o "$work/rss" "${cmd[@]}" >"$work/out.$tool" 2>"$work/err.$tool"
        rc=$?
        t1=$EPOCHREALTIME
        rss=$(tail -n 1 "$work/rss")
    else
        t0=$EPOCHREALTIME
        "${cmd[@]}" >"$work/out.$tool" 2>"$work/err.$tool"
        rc=$?
        t1=$EPOCHREALTIME
    fi
    printf '%s\t%s\t%s\t%s\t%s\t%s\n' "$target" "$tool" "$round" \
        $((${t1//[!0-9]/} - ${t0//[!0-9]/})) "${rss:-}" "$rc" >>"$results"
    return $rc
}

reported=$work/reported.txt
: >"$reported"

bench_target() {
    local target=$1 label=$2 round i n=${#tools[@]} tool
    note "$label: warm-up round"
    for tool in "${tools[@]}"; do
        if ! run_one "$target" "$tool" 0; then
            note "  $tool exited with an error: $(head -c 300 "$work/err.$tool")"
        fi
    done
    # What the tools say about the tree, from the warm-up.
    {
        echo "$label"
        [[ -s $work/out.du-B1 ]] && echo "  du -B1 (occupied bytes): $(cut -f1 "$work/out.du-B1")"
        [[ -s $work/out.du-b ]] && echo "  du -b (apparent bytes):  $(cut -f1 "$work/out.du-b")"
        if ((use_cli)); then
            echo "  norvessa-cli measure:"
            head -n 12 "$work/out.norvessa" | sed 's/^/    /'
        fi
    } >>"$reported"
    for ((round = 1; round <= rounds; round++)); do
        note "$label: round $round of $rounds"
        # Start each round with a different tool so none always follows the same one.
        for ((i = 0; i < n; i++)); do
            tool=${tools[(i + round) % n]}
            run_one "$target" "$tool" "$round" || true
        done
    done
}

bench_target "$tree" "generated tree"
bench_target /usr /usr

# --- report --------------------------------------------------------------
echo
echo "Norvessa against du, ncdu and gdu: $(nproc) cores, $rounds counted rounds after one warm-up, warm page cache"
echo "generated tree: $(head -n 1 "$work/gen.txt")"
echo "                $(sed -n 2p "$work/gen.txt")"
python3 - "$results" "$rounds" <<'PY'
import statistics, sys

rows = [l.rstrip("\n").split("\t") for l in open(sys.argv[1], encoding="utf-8")]
rounds = int(sys.argv[2])
names = {
    "norvessa": "norvessa-cli measure",
    "du-B1": "du -x -B1 -s",
    "du-b": "du -x -b -s",
    "ncdu": "ncdu -0 -x -o /dev/null",
    "gdu": "gdu -n -x -p",
}
targets = []
for r in rows:
    if r[0] not in targets:
        targets.append(r[0])

for target in targets:
    label = "/usr" if target == "/usr" else "generated tree"
    print()
    print("%s (%s)" % (label, target))
    med = {}
    table = []
    for tool in names:
        runs = [r for r in rows if r[0] == target and r[1] == tool and r[2] != "0"]
        if not runs:
            continue
        secs = [int(r[3]) / 1e6 for r in runs]
        rss = [int(r[4]) / 1024 for r in runs if r[4]]
        failed = sum(1 for r in runs if r[5] != "0")
        med[tool] = statistics.median(secs)
        table.append((tool, med[tool], min(secs), max(secs),
                      statistics.median(rss) if rss else None, failed, len(runs)))
    nv = med.get("norvessa")
    print("  %-24s %9s %17s %9s %15s" % ("tool", "median s", "min..max s", "RSS MB", "peer/Norvessa"))
    for tool, m, lo, hi, rss, failed, n in table:
        ratio = "" if tool == "norvessa" or not nv else "%.2f" % (m / nv)
        line = "  %-24s %9.3f %8.3f..%-7.3f %9s %15s" % (
            names[tool], m, lo, hi, "%.1f" % rss if rss is not None else "-", ratio)
        if failed:
            line += "   (%d of %d runs exited with an error)" % (failed, n)
        print(line)
    peers = {t: m for t, m in med.items() if t != "norvessa"}
    if nv and peers:
        fastest = min(peers, key=peers.get)
        print("  Norvessa takes %.2f of the time of the fastest peer (%s)" % (nv / peers[fastest], names[fastest]))
    elif not nv:
        print("  (Norvessa not timed)")
PY
echo
echo "What the tools reported (warm-up round):"
cat "$reported"
