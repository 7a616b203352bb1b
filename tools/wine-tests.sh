#!/usr/bin/env bash
# Runs the Windows build's tests under Wine, and compares a measurement of
# the Windows tool with the Linux tool's.
#   wine-tests.sh WIN_BUILD_DIR LINUX_CLI
# Wine must never hang the run: its prefix lives inside the build folder, one
# persistent wineserver is started with every output sent to /dev/null (its
# helpers inherit pipes, and a pipe into a reader that waits for them would
# never close) and is stopped at the end, and every Wine run has a timeout.
# For the same reason no Wine program writes into a pipe here: its output
# goes to a file, shown when it has ended.
set -euo pipefail
build=$(realpath "$1")
linux_cli=$(realpath "$2")
here=$(cd "$(dirname "$0")/.." && pwd)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
if ! command -v wine >/dev/null || [ ! -x "$wineserver" ]; then
  echo "wine-tests: Wine is not installed (tools/setup.sh installs it)" >&2
  exit 1
fi
export WINEPREFIX=$build/wineprefix WINEDEBUG=-all WINEARCH=win64
# No Mono or Gecko installer dialogs, no window on a display.
export WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=
tmp=$(mktemp -d)
# The user's home and trash (where the recycle bin goes) are temporary.
export HOME=$tmp/home XDG_DATA_HOME=$tmp/home/.local/share XDG_CONFIG_HOME=$tmp/home/.config
mkdir -p "$HOME" "$WINEPREFIX"
stop() {
  WINEPREFIX=$WINEPREFIX timeout 30 "$wineserver" -k >/dev/null 2>&1 </dev/null || true
  rm -rf "$tmp"
}
trap stop EXIT
"$wineserver" -p >/dev/null 2>&1 </dev/null &
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  # A fresh machine: the prefix is made once (about 10 s here).
  t0=$(date +%s)
  timeout 600 wine wineboot -i >/dev/null 2>&1 </dev/null || { echo "wine-tests: wineboot failed" >&2; exit 1; }
  echo "wine-tests: Wine prefix made in $(( $(date +%s) - t0 )) s"
fi
cd "$build"
status=0
timeout 600 wine tests/unit_tests.exe >"$tmp/unit_tests.raw" 2>&1 </dev/null || status=$?
tr -d '\r' <"$tmp/unit_tests.raw" >"$tmp/unit_tests.out"
if [ $status -ne 0 ]; then
  grep -v -e '^\[       OK \]' -e '^wine: Read access denied' "$tmp/unit_tests.out" || true
  echo "wine-tests: unit_tests.exe failed (status $status)" >&2
  exit 1
fi
# The summary, and why each skipped test was skipped.
grep -E '^\[  (PASSED|FAILED) ' "$tmp/unit_tests.out" || true
grep -A1 ': Skipped$' "$tmp/unit_tests.out" | grep -v -e ': Skipped$' -e '^--$' | sed 's/^/  skipped: /' || true
bash "$here/tools/wine-compare.sh" "$linux_cli" "$build/norvessa-cli.exe"
