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
            cmake --build build/release --target norvessa-cli norvessa-import >/dev/null; } || { note "the build failed"; return 1; }
    fi
    # A statically linked tool reads JSON scans with norvessa-import beside it.
    if [[ -x $(dirname "$src")/norvessa-import ]]; then cp "$(dirname "$src")/norvessa-import" "$1/"; fi
    cp "$src" "$1/norvessa-cli" && echo "$1/norvessa-cli"
}

# Builds a benchmark target in the release folder (BUILD_DIR, default
# build/release; refused when that folder is not a Release build) and runs it
# with the given arguments in place of the calling script.
run_bench_target() {
    local target=$1
    shift
    local build=${BUILD_DIR:-build/release}
    if [[ ! -f $build/build.ninja ]]; then
        cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
    fi
    local type
    type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build/CMakeCache.txt")
    if [[ $type != Release ]]; then
        echo "$(basename "$0"): $build is a '$type' build; timings need Release (set BUILD_DIR)" >&2
        exit 2
    fi
    cmake --build "$build" --target "$target" >&2
    exec "$build/bench/$target" "$@"
}

# Runs a command, keeps its output in $work/out.KEY, and adds its wall time
# in milliseconds to the caller's associative array times[KEY].
run_timed() {
    local key=$1
    shift
    local t0 t1
    t0=$(now)
    "$@" >"$work/out.$key" 2>"$work/err" || { note "$key failed:"; head -3 "$work/err" >&2; }
    t1=$(now)
    times[$key]+="$(((t1 - t0) / 1000)) "
}
