#!/usr/bin/env bash
# Builds the Debian package from the release configuration, installs it the
# way a player would, checks that the game is on PATH and starts and that its
# manual page is found, then removes the package and checks that both are
# gone. Debian 12, as root or with sudo; installs what it needs when missing.
set -euo pipefail
cd "$(dirname "$0")/.."

build=build/package
. scripts/lib.sh
fail() { echo "check-package: FAIL: $*" >&2; exit 1; }
ok() { echo "check-package: ok: $*"; }
installed() { dpkg-query -W -f='${Status}' my-dropix 2>/dev/null | grep -q 'ok installed'; }

# dpkg-dev and file compute the package's dependencies; man-db answers
# `man -w` and brings groff to check the pages.
need cmake g++ make dpkg-dev file man-db

tmp=$(mktemp -d)
game_pid=
cleanup() {
    if [ -n "$game_pid" ]; then kill "$game_pid" 2>/dev/null || true; fi
    rm -rf "$tmp"
    # Never leave the package behind after a failed check.
    if installed; then as_root dpkg -r my-dropix >/dev/null 2>&1 || true; fi
}
trap cleanup EXIT

for page in docs/my-dropix.6 docs/my-dropix.en.6; do
    groff -k -ww -man -Tutf8 "$page" >/dev/null 2>"$tmp/groff" || fail "groff cannot format $page"
    [ ! -s "$tmp/groff" ] || { cat "$tmp/groff" >&2; fail "groff warns about $page"; }
done
ok "manual pages format without warnings"

cmake --preset release -B "$build" >/dev/null
cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)"
rm -f "$build"/my-dropix_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
debs=("$build"/my-dropix_*.deb)
if [ ! -f "${debs[0]}" ] || [ ${#debs[@]} -ne 1 ]; then fail "cpack made no single my-dropix_*.deb"; fi
deb=$(realpath "${debs[0]}")
ok "built $(basename "$deb"), $(stat -c %s "$deb") bytes"
dpkg-deb -f "$deb" Package Version Section Maintainer Depends

# A copy installed before would let the checks below pass without this one.
if installed; then
    echo "Removing the my-dropix package installed before"
    as_root dpkg -r my-dropix >/dev/null
fi
hash -r
if command -v my-dropix >/dev/null; then
    fail "a my-dropix outside the package is on PATH: $(command -v my-dropix)"
fi

as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb" >/dev/null
installed || fail "apt-get install left my-dropix not installed"
dpkg -L my-dropix >"$tmp/files"
hash -r
bin=$(command -v my-dropix) || fail "my-dropix is not on PATH after installing"
grep -qx "$bin" "$tmp/files" || fail "$bin on PATH is not the packaged file"
ok "my-dropix on PATH: $bin"

# Starts it in a pseudo-terminal, waits for the first question, then ends
# the input: the game must say it and leave with status 1.
mkfifo "$tmp/in"
LC_ALL=C.UTF-8 TERM=xterm script -qec my-dropix /dev/null <"$tmp/in" >"$tmp/screen" 2>&1 &
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
ok "the game asks for the width and ends with status 1 at end of input"

page=$(man -w 6 my-dropix) || fail "man -w 6 my-dropix finds no page"
grep -qx "$page" "$tmp/files" || fail "man found $page, not the packaged page"
LC_ALL=C.UTF-8 MANWIDTH=80 man 6 my-dropix 2>/dev/null >"$tmp/man" || fail "man 6 my-dropix fails"
grep -qF 'data.txt' "$tmp/man" || fail "the rendered page does not describe data.txt"
ok "manual page: $page"

as_root dpkg -r my-dropix >/dev/null
installed && fail "dpkg -r left my-dropix installed"
hash -r
if command -v my-dropix >/dev/null; then fail "my-dropix still on PATH: $(command -v my-dropix)"; fi
[ ! -e "$bin" ] || fail "$bin still there"
[ ! -e "$page" ] || fail "$page still there"
if man -w 6 my-dropix >/dev/null 2>&1; then fail "man still finds a page: $(man -w 6 my-dropix)"; fi
ok "dpkg -r removed the game and its manual page"
echo "check-package: all checks passed"
