# The start the screenshot scripts share; sourced from the repository's top.

# The screen the windows are shown on (SCREEN=2560x1440 for a large one).
SCREEN="${SCREEN:-1600x1000}"
# The build the pictures are taken with (BIN=build/asan: the debug build
# already there, without building the release one).
BIN="${BIN:-build/release}"

# Installs the Debian packages named that are missing (through sudo when not
# root), then builds the release build when it is the one used.
prepare_screenshots() {
  local need=() p sudo=""
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || need+=("$p")
  done
  if [ ${#need[@]} -gt 0 ]; then
    [ "$(id -u)" -ne 0 ] && sudo=sudo
    $sudo apt-get install -y -qq --no-install-recommends "${need[@]}"
  fi
  if [ "$BIN" = build/release ]; then make -s release; fi
  if [ ! -x "$BIN/norvessa" ]; then
    echo "$(basename "$0"): no $BIN/norvessa" >&2
    exit 1
  fi
}

# Waits until a window whose title matches pattern (a regular expression, as
# xdotool search --name takes it) is shown, and puts its id in FOUND. Ends the
# script with an error when none shows within the seconds given (default
# 10): a picture of the wrong window must not pass for the right one.
wait_window() {
  local pattern=$1 seconds=${2:-10}
  FOUND=$(timeout "$seconds" xdotool search --sync --onlyvisible --name "$pattern" 2>/dev/null |
    tail -1) || true
  if [ -z "$FOUND" ]; then
    echo "$(basename "$0"): the window \"$pattern\" did not open" \
      "(the screen then: ${TMPDIR:-/tmp}/screenshot-failed.png)" >&2
    import -window root "${TMPDIR:-/tmp}/screenshot-failed.png" 2>/dev/null || true
    exit 1
  fi
  # Drawn before it is taken.
  sleep 0.7
}

# Waits until no window whose title matches pattern is shown; an error when
# one stays longer than the seconds given (default 10).
wait_closed() {
  local pattern=$1 seconds=${2:-10} i
  for i in $(seq $((seconds * 5))); do
    xdotool search --onlyvisible --name "$pattern" >/dev/null 2>&1 || return 0
    sleep 0.2
  done
  echo "$(basename "$0"): the window \"$pattern\" did not close" >&2
  exit 1
}

# Takes the whole screen into docs/screenshots/NAME (out, set by the script).
shoot_screen() {
  import -window root "$out/$1"
  echo "wrote $out/$1"
}
