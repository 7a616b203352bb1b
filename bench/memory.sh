#!/usr/bin/env bash
# Peak memory of "norvessa-cli measure" of a folder tree (default /usr, as
# drive U:) against ncdu holding the same tree in its browser, in one run:
# medians of the peak resident set (VmHWM) of each.
#
#   bench/memory.sh              /usr, 3 rounds
#   TREE=/srv ROUNDS=5 bench/memory.sh
#
# ncdu is started on a pseudo-terminal (script) and its peak is read once
# its scan is done and its browser shows the tree (the resident set has
# stopped growing); then it is told to quit. NORVESSA_CLI: the executable to
# measure (default build/release/norvessa-cli, built when not given).
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
. bench/common.sh

tree=${TREE:-/usr}
rounds=${ROUNDS:-3}
[[ $rounds =~ ^[1-9][0-9]*$ ]] || { note "memory.sh: ROUNDS must be a positive number"; exit 2; }
[[ -d $tree ]] || { note "memory.sh: $tree is no folder"; exit 2; }
for tool in ncdu script; do
    command -v "$tool" >/dev/null || { note "memory.sh: $tool is needed"; exit 1; }
done
[[ -x /usr/bin/time ]] || { note "memory.sh: /usr/bin/time is needed"; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin"
cli=$(prepare_cli "$work/bin") || exit 1
{ for i in $(seq 0 51); do if [ "$i" -eq 20 ]; then echo "$tree"; else echo; fi; done; } >"$work/bin/norvessa.drv"

ours=() theirs=() ours_noindex=()
for r in $(seq "$rounds"); do
    /usr/bin/time -f %M -o "$work/kb" "$cli" measure U: >/dev/null 2>&1 || { note "measure U: failed"; exit 1; }
    ours+=("$(cat "$work/kb")")
    /usr/bin/time -f %M -o "$work/kb" "$cli" measure --no-index U: >/dev/null 2>&1
    ours_noindex+=("$(cat "$work/kb")")

    # ncdu's browser: the scan done when the resident set stops growing.
    mkfifo "$work/keys.$r"
    script -qfec "ncdu -x '$tree'" /dev/null <"$work/keys.$r" >/dev/null 2>&1 &
    holder=$!
    exec 7>"$work/keys.$r"
    pid=""
    for _ in $(seq 200); do
        pid=$(pgrep -n -x ncdu) && break
        sleep 0.05
    done
    last=-1 peak=0 still=0
    while [[ -n $pid && -r /proc/$pid/status ]]; do
        rss=$(awk '/^VmRSS/{print $2}' "/proc/$pid/status")
        peak=$(awk '/^VmHWM/{print $2}' "/proc/$pid/status")
        if [[ $rss == "$last" ]]; then ((still++)); else still=0; fi
        ((still >= 10)) && break
        last=$rss
        sleep 0.1
    done
    printf 'q' >&7
    exec 7>&-
    sleep 0.3
    kill "$holder" 2>/dev/null
    [[ -n $pid ]] && kill "$pid" 2>/dev/null
    wait "$holder" 2>/dev/null
    rm -f "$work/keys.$r"
    theirs+=("$peak")
done

m_ours=$(echo "${ours[*]}" | median)
m_noindex=$(echo "${ours_noindex[*]}" | median)
m_theirs=$(echo "${theirs[*]}" | median)
printf '\n%-52s %10s %10s\n' "peak resident set, median of $rounds" "KiB" "MiB"
printf '%-52s %10s %10.1f\n' "norvessa-cli measure $tree (with the file index)" "$m_ours" "$(awk -v k="$m_ours" 'BEGIN{print k/1024}')"
printf '%-52s %10s %10.1f\n' "norvessa-cli measure --no-index $tree" "$m_noindex" "$(awk -v k="$m_noindex" 'BEGIN{print k/1024}')"
printf '%-52s %10s %10.1f\n' "ncdu $tree, browsing" "$m_theirs" "$(awk -v k="$m_theirs" 'BEGIN{print k/1024}')"
ratio=$(awk -v a="$m_ours" -v b="$m_theirs" 'BEGIN{print a/b}')
verdict=MISS
awk -v r="$ratio" 'BEGIN{exit !(r <= 0.5)}' && verdict=PASS
printf '\n%-52s %10.3f   goal <= 0.5  %s\n' "norvessa-cli / ncdu" "$ratio" "$verdict"
