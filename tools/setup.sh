#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the program need.
# Quick and offline when everything is there already.
set -euo pipefail
packages=(g++ make cmake ninja-build pkg-config qt6-base-dev qt6-base-dev-tools
  libgtest-dev libgmock-dev libblkid-dev libgl-dev fonts-ipafont-gothic fonts-ipaexfont-gothic xvfb xauth
  qt6-qpa-plugins e2fsprogs mount desktop-file-utils libutf8proc-dev
  dpkg-dev file appstream zlib1g-dev ncdu gdu
  qt6-translations-l10n locales libc-l10n openbox xdotool
  g++-mingw-w64-x86-64-posix libz-mingw-w64-dev googletest wine wine64 clang-format)
# The Windows build and its tests: mingw-w64 (posix threads), zlib and
# GoogleTest's sources for it, Wine to run them.
# dpkg-dev and file: CPack's Debian package with dpkg-shlibdeps; appstream:
# appstreamcli checks the metainfo file.
# clang-format: make test checks that every C++ file is formatted.
missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
# The system's reasons for a failure are shown in Japanese through the C
# library's translations, which need a Japanese locale.
need_locale=0
locale -a 2>/dev/null | grep -qix 'ja_JP.utf-\?8' || need_locale=1
[ ${#missing[@]} -eq 0 ] && [ $need_locale -eq 0 ] && exit 0
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "Need root or sudo to install: ${missing[*]} (and the ja_JP.UTF-8 locale)" >&2; exit 1; }
  sudo="sudo"
fi
if [ ${#missing[@]} -ne 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
if ! locale -a 2>/dev/null | grep -qix 'ja_JP.utf-\?8'; then
  echo "Making the ja_JP.UTF-8 locale"
  $sudo localedef -i ja_JP -c -f UTF-8 ja_JP.UTF-8
fi
