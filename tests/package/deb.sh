#!/bin/bash
# The Debian package as a user gets it: made by CPack from this build's
# programs, unpacked into a fresh root, its files checked, and its tool run
# by an ordinary user from another folder on a first start: every file it
# writes lands in that user's XDG folders, nothing in the unpacked root.
# Usage: deb.sh BUILD_DIR SOURCE_DIR
set -u
build=$1
src=$2
skip() { echo "SKIP: $*"; exit 77; }
[ "$(id -u)" = 0 ] || skip "needs root to run the installed tool as another user"
for tool in cpack dpkg-deb dpkg-shlibdeps file setpriv desktop-file-validate appstreamcli; do
    command -v "$tool" >/dev/null || skip "$tool is missing (tools/setup.sh installs it)"
done
[ -f "$build/CPackConfig.cmake" ] || skip "no CPack configuration in $build"

work=$(mktemp -d)
chmod 755 "$work"
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

if ! cpack --config "$build/CPackConfig.cmake" -B "$work/pkg" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log"
    echo "FAIL: cpack"
    exit 1
fi
version=$(sed -n 's/^project(Norvessa VERSION \([0-9.]*\).*/\1/p' "$src/CMakeLists.txt")
deb=$work/pkg/norvessa_${version}_amd64.deb
[ -f "$deb" ] || { ls "$work/pkg"; echo "FAIL: no norvessa_${version}_amd64.deb"; exit 1; }

# The libraries come from dpkg-shlibdeps, with versions.
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libc6 libstdc++6 libblkid1 libutf8proc2 libqt6core6 libqt6gui6 libqt6widgets6; do
    [[ $depends == *"$lib (>="* ]] || fail "Depends lacks $lib: $depends"
done
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "version $(dpkg-deb -f "$deb" Version), expected $version"

dpkg-deb -c "$deb" | awk '{print $1, $6}' >"$work/contents"
for f in /usr/bin/norvessa /usr/bin/norvessa-cli /usr/bin/norvessa-import /usr/bin/norvessa-treemap /usr/share/norvessa/norvessa.html \
    /usr/share/applications/norvessa.desktop /usr/share/metainfo/io.norvessa.Norvessa.metainfo.xml \
    /usr/share/icons/hicolor/scalable/apps/norvessa.svg /usr/share/man/man1/norvessa.1.gz \
    /usr/share/man/man1/norvessa-cli.1.gz /usr/share/bash-completion/completions/norvessa-cli \
    /usr/share/doc/norvessa/copyright /usr/share/doc/norvessa/changelog.gz; do
    grep -q " \.$f\$" "$work/contents" || fail "$f is not in the package"
done
grep -q "^-rwxr-xr-x \./usr/bin/norvessa\$" "$work/contents" || fail "/usr/bin/norvessa is not mode 755"
# Nothing of the build folder: a marker would make /usr/bin a portable copy.
grep -Eq 'portable|NRVS_|\.prm$|\.drv$' "$work/contents" && fail "build folder files in the package"

root=$work/root
dpkg -x "$deb" "$root"
desktop-file-validate "$root/usr/share/applications/norvessa.desktop" || fail "desktop entry"
appstreamcli validate --no-net "$root/usr/share/metainfo/io.norvessa.Norvessa.metainfo.xml" >"$work/as.log" 2>&1 ||
    { cat "$work/as.log"; fail "metainfo"; }
cli=$root/usr/bin/norvessa-cli
# Every command of the tool is in its manual page and its completion.
zcat "$root/usr/share/man/man1/norvessa-cli.1.gz" >"$work/man"
verbs=$("$cli" --help | sed -n 's/^  \([a-z]\+\).*/\1/p')
[ -n "$verbs" ] || fail "no commands in --help"
for verb in $verbs; do
    grep -qx "\.B $verb" "$work/man" || fail "manual page lacks $verb"
    grep -qw "$verb" "$root/usr/share/bash-completion/completions/norvessa-cli" || fail "completion lacks $verb"
done
grep -q -- '--top' "$root/usr/share/bash-completion/completions/norvessa-cli" || fail "completion lacks files --top"

# An ordinary user, at home in a folder of the test, in another folder.
home=$work/home
mkdir -p "$home" "$work/elsewhere" "$work/drive/sub"
head -c 300000 /dev/zero >"$work/drive/sub/big.bin"
printf 'small' >"$work/drive/small.txt"
chmod -R a+rX "$work/drive"
chown 65534:65534 "$home" "$work/elsewhere"
listing() { (cd "$root" && find . -printf '%p %M %s %T@\n' | sort); }
listing >"$work/before"
user() {
    (cd "$work/elsewhere" && setpriv --reuid=65534 --regid=65534 --clear-groups \
        env -i HOME="$home" PATH=/usr/bin:/bin LANG=C.UTF-8 ASAN_OPTIONS=detect_leaks=0 "$cli" "$@")
}

user paths >"$work/paths" 2>&1 || fail "paths: $(cat "$work/paths")"
grep -qx $'layout\tinstalled' "$work/paths" || fail "not installed: $(cat "$work/paths")"
grep -qx $'settings\t'"$home/.config/norvessa/" "$work/paths" || fail "settings folder: $(cat "$work/paths")"
grep -qx $'data\t'"$home/.local/share/norvessa/" "$work/paths" || fail "data folder: $(cat "$work/paths")"
grep -qx $'help\t'"$root/usr/share/norvessa/norvessa.html" "$work/paths" || fail "help document: $(cat "$work/paths")"
[ -z "$(ls -A "$home")" ] || fail "paths wrote into the home folder"

# The first start measures a folder; then the folder gets a letter of its
# own (Z:, the map's 26th line), as the user would give it, and is measured
# whole for its file index.
user measure "$work/drive" >"$work/out" 2>&1 || fail "measure: $(cat "$work/out")"
map=$home/.config/norvessa/norvessa.drv
awk -v d="$work/drive" 'NR == 26 { print d; next } { print }' "$map" >"$work/map"
cat "$work/map" >"$map"
user measure Z: >"$work/out" 2>&1 || fail "measure Z:: $(cat "$work/out")"
user files Z: >"$work/files" 2>&1 || fail "files: $(cat "$work/files")"
grep -q 'big\.bin' "$work/files" || fail "files does not list big.bin: $(cat "$work/files")"

for d in "$home/.config/norvessa" "$home/.local/share/norvessa"; do
    [ "$(stat -c '%a %u' "$d" 2>/dev/null)" = "700 65534" ] || fail "$d: $(stat -c '%a %u' "$d" 2>&1)"
done
[ -f "$home/.config/norvessa/norvessa.drv" ] || fail "no drive map in the settings folder"
ls "$home/.local/share/norvessa" | grep -Eq '^NRVS_[A-Z]\.txt$' || fail "no cache in the data folder"
ls "$home/.local/share/norvessa" | grep -Eq '^NRVS_[A-Z]\.idx$' || fail "no file index in the data folder"
unexpected=$(cd "$home" && find . -mindepth 1 | grep -Ev '^\./(\.config|\.local|\.local/share)$|^\./(\.config|\.local/share)/norvessa(/|$)')
[ -z "$unexpected" ] || fail "written into the home folder besides the program's folders: $unexpected"
listing >"$work/after"
diff "$work/before" "$work/after" >/dev/null || fail "the unpacked root changed: $(diff "$work/before" "$work/after")"
[ -z "$(ls -A "$work/elsewhere")" ] || fail "written into the working folder: $(ls -A "$work/elsewhere")"

[ "$failures" = 0 ] && echo "deb: all checks passed"
[ "$failures" = 0 ]
