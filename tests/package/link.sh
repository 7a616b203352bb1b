#!/bin/bash
# How the release build links norvessa-cli, read from a fresh Release
# configuration (nothing is built): the C library shared, so that the
# system's user database (NSS: LDAP, a domain) names owners and Debian takes
# the package; no Qt; the other libraries linked in.
# Usage: link.sh SOURCE_DIR
set -u
src=$1
skip() { echo "SKIP: $*"; exit 77; }
command -v ninja >/dev/null || skip "ninja is missing"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake -S "$src" -B "$work" -G Ninja -DCMAKE_BUILD_TYPE=Release >"$work/configure.log" 2>&1 ||
    { cat "$work/configure.log"; echo "FAIL: configure"; exit 1; }
link=$(ninja -C "$work" -t commands norvessa-cli | tail -n 1 | sed "s| CMakeFiles[^ ]*\.o||g" | tr -s " ")
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
[[ " $link " == *" -o norvessa-cli "* ]] || fail "no link command for norvessa-cli: $link"
[[ " $link " == *" -static "* ]] && fail "the C library is linked in (-static): $link"
for lib in libblkid.a libutf8proc.a libz.a; do
    grep -q "/usr/lib/x86_64-linux-gnu/$lib" <<<"$link" || [ ! -f "/usr/lib/x86_64-linux-gnu/$lib" ] ||
        fail "$lib is not linked in"
done
[[ $link == *"-Wl,-Bstatic -lstdc++ -Wl,-Bdynamic"* ]] || fail "the C++ library is not linked in: $link"
[[ $link == *Qt6* || $link == *libQt* ]] && fail "Qt is linked: $link"
[ "$failures" = 0 ] && echo "norvessa-cli links the C library shared, its other libraries in, no Qt"
exit $((failures > 0))
