# The start the screenshot scripts share; sourced from the repository's top.

# The screen the windows are shown on (SCREEN=2560x1440 for a large one).
SCREEN="${SCREEN:-1600x1000}"

# Installs the Debian packages named that are missing (through sudo when not
# root), then builds the release build.
prepare_screenshots() {
  local need=() p sudo=""
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || need+=("$p")
  done
  if [ ${#need[@]} -gt 0 ]; then
    [ "$(id -u)" -ne 0 ] && sudo=sudo
    $sudo apt-get install -y -qq --no-install-recommends "${need[@]}"
  fi
  make -s release
}
