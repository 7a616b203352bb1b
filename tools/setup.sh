#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the program need.
# Quick and offline when everything is there already.
set -euo pipefail
packages=(g++ make cmake ninja-build pkg-config qt6-base-dev qt6-base-dev-tools
  libgtest-dev libgmock-dev libblkid-dev libgl-dev fonts-ipafont-gothic xvfb xauth
  qt6-qpa-plugins e2fsprogs mount desktop-file-utils libutf8proc-dev
  dpkg-dev file appstream libsimdjson-dev zlib1g-dev ncdu gdu)
# dpkg-dev and file: CPack's Debian package with dpkg-shlibdeps; appstream:
# appstreamcli checks the metainfo file.
missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "Need root or sudo to install: ${missing[*]}" >&2; exit 1; }
  sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
