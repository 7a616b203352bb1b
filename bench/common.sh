# Pieces the benchmark scripts share; sourced, not run.

note() { printf '%s\n' "$*" >&2; }

# Microseconds of the wall clock.
now() { echo "${EPOCHREALTIME/./}"; }

# Median and min..max (in seconds) of whitespace-separated milliseconds.
median() { tr ' ' '\n' | grep -v '^$' | sort -n | awk '{a[NR]=$1} END {if (NR) print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2; else print ""}'; }
range() { tr ' ' '\n' | grep -v '^$' | sort -n | awk 'NR==1{lo=$1} {hi=$1} END {printf "%.3f..%.3f", lo/1000, hi/1000}'; }

# Builds build/release/norvessa-cli (unless NORVESSA_CLI names another) and
# copies it into folder $1 as norvessa-cli, so that its drive map and caches
# stay there. Prints the copy's path.
prepare_cli() {
    local src=${NORVESSA_CLI:-build/release/norvessa-cli}
    if [[ -z ${NORVESSA_CLI:-} ]]; then
        note "building $src (release)"
        { cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null &&
            cmake --build build/release --target norvessa-cli >/dev/null; } || { note "the build failed"; return 1; }
    fi
    cp "$src" "$1/norvessa-cli" && echo "$1/norvessa-cli"
}
