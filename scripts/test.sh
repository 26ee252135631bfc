#!/usr/bin/env bash
# Builds the game and runs every test: the debug build, then the same suite
# under the address and undefined-behaviour sanitizers, then built by clang
# against libc++; then the fuzzers, the package check and the Windows build.
# Installs what the tests need when it is missing (Debian 12, as root or
# with sudo).
set -euo pipefail
cd "$(dirname "$0")/.."

. scripts/lib.sh
need cmake g++ make pkg-config googletest libgtest-dev libvterm-dev locales clang libc++-14-dev libc++abi-14-dev
# The encoding tests run the game in a GBK locale.
if ! locale -a 2>/dev/null | grep -qix 'zh_CN.gbk'; then
    as_root localedef -i zh_CN -f GBK zh_CN.GBK || echo "warning: no zh_CN.GBK locale; its tests will be skipped"
fi

jobs=$(nproc 2>/dev/null || echo 2)
# clang with libc++ stands in for the toolchains of macOS and FreeBSD.
for preset in debug asan clang; do
    echo "== $preset"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j "$jobs"
    ctest --preset "$preset" -j "$jobs"
done

echo "== fuzz"
./scripts/fuzz.sh
echo "== package"
./scripts/check-package.sh
echo "== windows"
./scripts/cross-windows.sh
