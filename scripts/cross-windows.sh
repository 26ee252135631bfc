#!/usr/bin/env bash
# Cross-compiles the Windows build with mingw-w64, checks that it is a
# self-contained 64-bit console executable and makes the Windows download,
# my-dropix-VERSION-windows-x86_64.zip, with CPack. Then, unless --no-wine is
# given, plays the program taken out of the zip under Wine: a game in a
# terminal (tmux) driven by keys, a Ctrl-C, and runs with standard input
# and output redirected. Installs what it needs
# when missing (Debian 12, as root or with sudo); when Wine cannot be had,
# that part is skipped, not failed.
set -euo pipefail
cd "$(dirname "$0")/.."

use_wine=1
for a in "$@"; do
    case "$a" in
    --no-wine) use_wine=0 ;;
    *) echo "usage: $0 [--no-wine]" >&2; exit 2 ;;
    esac
done

. scripts/lib.sh

need --no-install-recommends cmake g++-mingw-w64-x86-64 file unzip

echo "== windows-cross"
jobs=$(nproc 2>/dev/null || echo 2)
cmake --preset windows-cross >/dev/null
cmake --build --preset windows-cross -j "$jobs"

exe=build/windows-cross/my-dropix.exe
kind=$(file -b "$exe")
case "$kind" in
"PE32+ executable (console) x86-64"*) echo "ok: $exe is a $kind" ;;
*) echo "FAIL: $exe is not a 64-bit Windows console executable: $kind" >&2; exit 1 ;;
esac
# Linked statically: only DLLs that every Windows has may be imported.
dlls=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
for d in $dlls; do
    case "$d" in
    kernel32.dll | msvcrt.dll | winmm.dll | user32.dll | advapi32.dll | ucrtbase.dll | api-ms-win-crt-*.dll) ;;
    *) echo "FAIL: $exe needs $d, which Windows does not ship" >&2; exit 1 ;;
    esac
done
echo "ok: imports only $(echo $dlls | tr ' ' ',')"

echo "== windows zip"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/windows-cross/CMakeCache.txt)
name=my-dropix-$version-windows-x86_64
zip=build/windows-cross/$name.zip
rm -f "$zip"
(cd build/windows-cross && cpack -G ZIP >/dev/null)
[ -f "$zip" ] || { echo "FAIL: cpack made no $zip" >&2; exit 1; }
unzip -l "$zip"
listed=$(unzip -Z1 "$zip" | grep -v '/$' | sort | tr '\n' ' ')
want="$name/LICENSE.txt $name/README.txt $name/my-dropix.exe "
[ "$listed" = "$want" ] || { echo "FAIL: $zip holds $listed, not $want" >&2; exit 1; }
unpacked=$PWD/build/win-wine/zip
rm -rf "$unpacked"
mkdir -p "$unpacked"
unzip -q "$zip" -d "$unpacked"
for f in README.txt LICENSE.txt; do
    # Every line ends in CR LF, for Notepad.
    if grep -q $'[^\r]$\|^$' "$unpacked/$name/$f"; then
        echo "FAIL: $f in $zip has a line without CR LF" >&2
        exit 1
    fi
done
iconv -f UTF-8 -t UTF-8 "$unpacked/$name/README.txt" >/dev/null ||
    { echo "FAIL: README.txt in $zip is not UTF-8" >&2; exit 1; }
[ "$(head -c 3 "$unpacked/$name/README.txt" | od -An -tx1 | tr -d ' ')" = efbbbf ] ||
    { echo "FAIL: README.txt in $zip has no byte order mark" >&2; exit 1; }
grep -qF "my-dropix $version" "$unpacked/$name/README.txt" ||
    { echo "FAIL: README.txt in $zip does not name version $version" >&2; exit 1; }
echo "ok: $zip, $(stat -c %s "$zip") bytes: the game, README.txt and LICENSE.txt with CR LF"
exe=$unpacked/$name/my-dropix.exe

if [ "$use_wine" -eq 0 ]; then
    echo "skip: Wine smoke test (--no-wine)"
    exit 0
fi
if ! need --no-install-recommends wine64 tmux python3; then
    echo "skip: Wine smoke test (wine64, tmux or python3 could not be installed)"
    exit 0
fi
wine=$(command -v wine64 || true)
[ -n "$wine" ] || wine=/usr/lib/wine/wine64
wineserver=$(command -v wineserver || true)
[ -n "$wineserver" ] || wineserver=/usr/lib/wine/wineserver
if [ ! -x "$wine" ] || [ ! -x "$wineserver" ]; then
    echo "skip: Wine smoke test (no wine64 loader found)"
    exit 0
fi

work=$PWD/build/win-wine
mkdir -p "$work"
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEARCH=win64
# No browser or .NET runtime is wanted, and there is no display to ask on.
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
sock=dropix-win-$$
cleanup() {
    tmux -L "$sock" kill-server 2>/dev/null || true
    "$wineserver" -k 2>/dev/null || true
}
trap cleanup EXIT
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    start=$(date +%s)
    "$wine" wineboot --init >/dev/null 2>&1 || true
    "$wineserver" -w
    echo "wine prefix made in $(($(date +%s) - start)) s"
fi

echo "== wine file check"
# The board log's file layer on names the game's fixed data.txt cannot show:
# device names, a directory, links, a regular file in text mode.
check=$PWD/build/windows-cross/dropix_file_check.exe
rm -rf "$work/file-check"
mkdir -p "$work/file-check"
if ! (cd "$work/file-check" && "$wine" "$check" </dev/null); then
    echo "FAIL: the file layer answered wrongly under Wine" >&2
    exit 1
fi

echo "== wine smoke test"
# The program as a player gets it: out of the zip.
python3 scripts/wine-smoke.py "$exe" "$wine" "$work" "$sock"
