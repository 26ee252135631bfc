#!/usr/bin/env bash
# Builds the Debian package from the release configuration and checks it
# without installing it: lintian has nothing to say, a fresh build in
# another folder gives the same bytes, the files and control fields are
# right, the game unpacked from it starts and asks for the width, and its
# manual pages render. Then the source archive: made twice, the same bytes;
# unpacked outside git, README's play command builds the game from it. The
# system's packages and PATH are left as they are. Debian 12; installs the
# tools it needs when missing.
set -euo pipefail
cd "$(dirname "$0")/.."

build=build/package
rebuild=build/package-rebuild
. scripts/lib.sh
fail() { echo "check-package: FAIL: $*" >&2; exit 1; }
ok() { echo "check-package: ok: $*"; }

# dpkg-dev and file compute the package's dependencies; man-db renders the
# pages and brings groff to check them.
need cmake g++ make pkg-config libncurses-dev dpkg-dev file man-db lintian

tmp=$(mktemp -d)
game_pid=
cleanup() {
    if [ -n "$game_pid" ]; then kill "$game_pid" 2>/dev/null || true; fi
    rm -rf "$tmp"
}
trap cleanup EXIT

# Configures, builds and packages in folder $1; prints the package's path.
package() {
    cmake --preset release -B "$1" >/dev/null
    cmake --build "$1" -j "$(nproc 2>/dev/null || echo 2)" >/dev/null
    rm -f "$1"/my-dropix_*.deb
    (cd "$1" && cpack -G DEB >/dev/null)
    local debs=("$1"/my-dropix_*.deb)
    if [ ! -f "${debs[0]}" ] || [ ${#debs[@]} -ne 1 ]; then fail "cpack made no single my-dropix_*.deb in $1"; fi
    realpath "${debs[0]}"
}

deb=$(package "$build")
ok "built $(basename "$deb"), $(stat -c %s "$deb") bytes"
rm -rf "$rebuild"
again=$(package "$rebuild")
cmp "$deb" "$again" || fail "a second build from the same tree gives another package"
ok "a second build from scratch in $rebuild gives the same bytes"

lintian --fail-on error,warning -I "$deb" >"$tmp/lintian" 2>&1 || { cat "$tmp/lintian" >&2; fail "lintian"; }
grep -v 'running with root privileges' "$tmp/lintian" || true
ok "lintian: no errors or warnings"

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
field() { dpkg-deb -f "$deb" "$1"; }
dpkg-deb -f "$deb" Package Version Section Architecture Maintainer Depends
[ "$(field Package)" = my-dropix ] || fail "Package is $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version is $(field Version), the project's $version"
[ "$(field Section)" = games ] || fail "Section is $(field Section)"
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] || fail "Architecture is $(field Architecture)"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
# Computed off the binary: versioned, the C library among them.
field Depends | grep -q 'libc6 (>= ' || fail "Depends was not computed: $(field Depends)"
ok "control fields"

dpkg-deb -c "$deb" | awk '{print $1, $6}' >"$tmp/contents"
for f in -rwxr-xr-x:./usr/games/my-dropix \
         -rw-r--r--:./usr/share/man/man6/my-dropix.6.gz \
         -rw-r--r--:./usr/share/man/en/man6/my-dropix.6.gz \
         -rw-r--r--:./usr/share/doc/my-dropix/copyright \
         -rw-r--r--:./usr/share/doc/my-dropix/changelog.gz; do
    grep -qxF -e "${f%%:*} ${f#*:}" "$tmp/contents" || fail "no ${f#*:} (${f%%:*}) in the package"
done
if grep -q ' ./usr/bin/' "$tmp/contents"; then fail "the package has files in /usr/bin"; fi
ok "contents: the game in /usr/games, both manual pages, copyright, changelog.gz"

dpkg-deb -x "$deb" "$tmp/root"
game=$tmp/root/usr/games/my-dropix
[ "$("$game" --version)" = "my-dropix $version" ] || fail "--version says: $("$game" --version)"

# Starts it in a pseudo-terminal, in a folder of its own for data.txt, waits
# for the first question, then ends the input: the game must say it and
# leave with status 1.
mkdir "$tmp/play"
mkfifo "$tmp/in"
(cd "$tmp/play" && LC_ALL=C.UTF-8 TERM=xterm exec script -qec "$(printf %q "$game")" /dev/null) \
    <"$tmp/in" >"$tmp/screen" 2>&1 &
game_pid=$!
exec 3>"$tmp/in"
prompt='宽度设置,建议20 请输入 10~100 的数值'
for _ in $(seq 100); do
    grep -qF "$prompt" "$tmp/screen" && break
    sleep 0.1
done
grep -qF "$prompt" "$tmp/screen" || { exec 3>&-; fail "no width prompt within 10 s"; }
exec 3>&-
status=0
for _ in $(seq 100); do
    kill -0 "$game_pid" 2>/dev/null || break
    sleep 0.1
done
kill -0 "$game_pid" 2>/dev/null && fail "the game did not end within 10 s of the end of input"
wait "$game_pid" || status=$?
game_pid=
[ "$status" -eq 1 ] || fail "exit status $status at end of input, not 1"
grep -qF 'my-dropix: 输入已结束' "$tmp/screen" || fail "no end-of-input message"
ok "the unpacked game asks for the width and ends with status 1 at end of input"

for page in "$tmp"/root/usr/share/man/man6/my-dropix.6.gz "$tmp"/root/usr/share/man/en/man6/my-dropix.6.gz; do
    zcat "$page" | groff -k -ww -man -Tutf8 >/dev/null 2>"$tmp/groff" || fail "groff cannot format $page"
    [ ! -s "$tmp/groff" ] || { cat "$tmp/groff" >&2; fail "groff warns about ${page#"$tmp/root"}"; }
    LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$page" 2>/dev/null >"$tmp/man" || fail "man -l ${page#"$tmp/root"} fails"
    grep -qF 'data.txt' "$tmp/man" || fail "${page#"$tmp/root"} does not describe data.txt"
done
ok "both manual pages render, without a warning from groff"

# The source archive, from the last commit; outside a git checkout (itself
# unpacked from one) there is none to make.
if ! git rev-parse --verify -q HEAD >/dev/null 2>&1; then
    echo "check-package: skip: source archive (not a git checkout)"
    echo "check-package: all checks passed"
    exit 0
fi
src=$(scripts/source-archive.sh "$build")
src_again=$(scripts/source-archive.sh "$rebuild" 2>/dev/null)
cmp "$src" "$src_again" || fail "the source archive made twice differs"
ok "source archive $(basename "$src"), $(stat -c %s "$src") bytes, made twice: the same bytes"

# Unpacked where no git checkout can lend it a date or a version, README's
# play command, run with --version, must build the game and print this one.
mkdir "$tmp/src"
tar -xzf "$src" -C "$tmp/src"
tree=$tmp/src/$(basename "$src" .tar.gz)
[ -f "$tree/CMakeLists.txt" ] || fail "the source archive has no $(basename "$tree")/CMakeLists.txt"
if git -C "$tree" rev-parse --git-dir >/dev/null 2>&1; then fail "$tree is inside a git checkout"; fi
play=$(grep -m1 '^cmake --preset release && ' "$tree/README.md" || true)
case "$play" in
*'&& ./build/release/my-dropix') ;;
*) fail "no play command in the source archive's README.md: '$play'" ;;
esac
(cd "$tree" && CMAKE_BUILD_PARALLEL_LEVEL=$(nproc 2>/dev/null || echo 2) bash -c "$play --version" >"$tmp/src-build" 2>&1) || { tail -20 "$tmp/src-build" >&2; fail "README's play command fails in the unpacked source archive"; }
[ "$(tail -1 "$tmp/src-build")" = "my-dropix $version" ] || fail "the game built from the source archive says: $(tail -1 "$tmp/src-build")"
ok "unpacked outside git, README's play command builds the game, which says my-dropix $version"
echo "check-package: all checks passed"
