#!/usr/bin/env bash
# Times "norvessa-cli copy" against "cp -a" and "norvessa-cli delete" against
# "rm -rf", in one run, and prints medians and ratios.
#
#   bench/fileops.sh            20,000 small files and one 1 GB file, 5 rounds
#   bench/fileops.sh --quick    5,000 small files and one 200 MB file, 3 rounds
#
# Environment: ROUNDS (counted rounds), NORVESSA_CLI (executable to time,
# default build/release/norvessa-cli, built when missing), TMPDIR (where the
# trees are made; keep it on a real disk).
#
# "--progress" runs count the tree first and report progress as the window's
# dialog does. Every timed run starts after a sync, so that writing back what the previous
# run left in the page cache is not charged to the next one; the tool that
# starts a round alternates.
set -uo pipefail

cd "$(dirname "$0")/.." || exit 1
. bench/common.sh

small=20000
bigmb=1024
rounds=${ROUNDS:-5}
for arg in "$@"; do
    case $arg in
    --quick) small=5000 bigmb=200 rounds=${ROUNDS:-3} ;;
    -h | --help) sed -n '2,14p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "fileops.sh: unknown argument $arg" >&2; exit 2 ;;
    esac
done
[[ $rounds =~ ^[1-9][0-9]*$ ]] || { echo "fileops.sh: ROUNDS must be a positive number" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/nrvs-fileops.XXXXXX") || exit 1
trap 'rm -rf "$work"' EXIT
trap 'exit 130' INT TERM
# A copy of its own, so its drive map and files stay in the work folder.
mkdir -p "$work/bin"
cli=$(prepare_cli "$work/bin") || exit 1

note "making $small small files and a $bigmb MB file in $work"
python3 - "$work/small" "$small" <<'PY'
import os, random, sys
top, n = sys.argv[1], int(sys.argv[2])
rng = random.Random(5)
blob = os.urandom(16384)
for i in range(n):
    d = os.path.join(top, "d%03d" % (i % 200), "e%02d" % (i % 7))
    os.makedirs(d, exist_ok=True)
    size = rng.choice([0, 1, 100, 4095, 4096, 4097]) if rng.random() < 0.2 else rng.randrange(1, 16384)
    with open(os.path.join(d, "file%05d.dat" % i), "wb") as f:
        f.write(blob[:size])
PY
mkdir -p "$work/big"
head -c $((bigmb << 20)) /dev/urandom >"$work/big/one.bin"
sync

declare -A times
timed() { # key command...
    local key=$1
    shift
    sync
    local t0 t1
    t0=$(now)
    "$@" >/dev/null 2>"$work/err" || { note "$key failed:"; head -3 "$work/err" >&2; }
    t1=$(now)
    times[$key]+="$(((t1 - t0) / 1000)) "
}

for ((r = 0; r < rounds; r++)); do
    note "round $((r + 1)) of $rounds"
    for what in small big; do
        order=(cp nrvs prog)
        ((r % 2)) && order=(prog nrvs cp)
        for tool in "${order[@]}"; do
            rm -rf "$work/dst"
            mkdir -p "$work/dst"
            case $tool in
            cp) timed "copy $what|cp -a" cp -a "$work/$what" "$work/dst/" ;;
            nrvs) timed "copy $what|norvessa-cli copy" "$cli" copy "$work/$what" "$work/dst/" ;;
            prog) timed "copy $what|copy --progress" "$cli" copy --progress "$work/$what" "$work/dst/" ;;
            esac
        done
    done
    rm -rf "$work/dst"
    cp -a "$work/small" "$work/del1"
    cp -a "$work/small" "$work/del2"
    cp -a "$work/small" "$work/del3"
    order=(rm nrvs prog)
    ((r % 2)) && order=(prog nrvs rm)
    for tool in "${order[@]}"; do
        case $tool in
        rm) timed "delete small|rm -rf" rm -rf "$work/del1" ;;
        nrvs) timed "delete small|norvessa-cli delete" "$cli" delete "$work/del2" ;;
        prog) timed "delete small|delete --progress" "$cli" delete --progress "$work/del3" ;;
        esac
    done
    rm -rf "$work/del1" "$work/del2" "$work/del3"
done

printf '\n%-14s %-22s %10s %16s %16s\n' task tool "median s" "min..max s" "Norvessa/peer"
for set in "copy small|cp -a|norvessa-cli copy|copy --progress" "copy big|cp -a|norvessa-cli copy|copy --progress" \
    "delete small|rm -rf|norvessa-cli delete|delete --progress"; do
    IFS='|' read -r task peer own prog <<<"$set"
    pm=$(median <<<"${times[$task|$peer]}")
    printf '%-14s %-22s %10.3f %16s\n' "$task" "$peer" "$(awk "BEGIN{print $pm/1000}")" "$(range <<<"${times[$task|$peer]}")"
    for tool in "$own" "$prog"; do
        om=$(median <<<"${times[$task|$tool]}")
        printf '%-14s %-22s %10.3f %16s %16.2f\n' "$task" "$tool" "$(awk "BEGIN{print $om/1000}")" \
            "$(range <<<"${times[$task|$tool]}")" "$(awk "BEGIN{print $om/$pm}")"
    done
done
echo "(small: $small files; big: one file of $bigmb MB; the goal is at most 1.2 for each task)"
