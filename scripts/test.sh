#!/usr/bin/env bash
# Builds the game and runs every test, in six stages: the debug build, then
# the same suite under the address and undefined-behaviour sanitizers, then
# built by clang against libc++; then the fuzzers, the package check and the
# Windows build. A failed stage does not stop the ones after it; a table of
# every stage's time and result ends the output, and the status is 1 when
# any failed. Installs what the tests need when it is missing (Debian 12, as
# root or with sudo), saying so first.
set -euo pipefail
cd "$(dirname "$0")/.."

. scripts/lib.sh
stages=(debug asan clang fuzz package windows)
echo "will run ${#stages[@]} stages: ${stages[*]}"
need cmake g++ make pkg-config googletest libgtest-dev libvterm-dev libncurses-dev locales clang libc++-14-dev libc++abi-14-dev ||
    echo "warning: the packages could not all be installed; the stages that need them will fail"
# The encoding tests run the game in a GBK locale. (No grep -q: an early
# exit could fail locale -a on a broken pipe.)
if ! locale -a 2>/dev/null | grep -ix 'zh_CN.gbk' >/dev/null; then
    echo "will generate the zh_CN.GBK locale with localedef (changes the system's locale archive)"
    as_root localedef -i zh_CN -f GBK zh_CN.GBK || echo "warning: no zh_CN.GBK locale; its tests will be skipped"
fi

jobs=$(nproc 2>/dev/null || echo 2)
# One build and its whole suite; further arguments are set in the tests'
# environment. A chain, not set -e, which does not hold in a stage.
suite() {
    local preset=$1
    shift
    cmake --preset "$preset" >/dev/null &&
        cmake --build --preset "$preset" -j "$jobs" &&
        env "$@" ctest --preset "$preset" -j "$jobs"
}

# The soak plays in full once, in the debug build; under the sanitizers and
# with clang, where it runs twice as slow, a quarter of its sessions keeps
# the command short. clang with libc++ stands in for the toolchains of macOS
# and FreeBSD.
run() {
    case $1 in
    debug) suite debug ;;
    asan | clang) suite "$1" DROPIX_SOAK_SESSIONS=1/4 ;;
    # 20 s a target here, two at a time: the command stays short.
    fuzz) DROPIX_FUZZ_SECONDS=${DROPIX_FUZZ_SECONDS:-20} ./scripts/fuzz.sh ;;
    package) ./scripts/check-package.sh ;;
    windows) ./scripts/cross-windows.sh ;;
    esac
}

names=() times=() results=() failed=()
table() {
    local i
    echo
    printf '%-8s %6s  %s\n' stage time result
    for i in "${!names[@]}"; do
        printf '%-8s %6s  %s\n' "${names[i]}" "$(printf '%d:%02d' $((times[i] / 60)) $((times[i] % 60)))" "${results[i]}"
    done
    total=$(printf '%dm%02ds' $((SECONDS / 60)) $((SECONDS % 60)))
}
# Ctrl-C ends the whole command, with the table of the stages so far.
interrupted() {
    names+=("$current")
    times+=($((SECONDS - t0)))
    results+=(interrupted)
    table
    echo "INTERRUPTED in $current after $total"
    exit 130
}
current=${stages[0]} t0=$SECONDS
trap interrupted INT

for current in "${stages[@]}"; do
    echo "== $current"
    t0=$SECONDS
    rc=0
    run "$current" || rc=$?
    names+=("$current")
    times+=($((SECONDS - t0)))
    if [ "$rc" -eq 0 ]; then results+=(pass); else results+=("fail (status $rc)"); failed+=("$current"); fi
done
table
if [ ${#failed[@]} -eq 0 ]; then
    echo "all ${#names[@]} stages passed in $total"
else
    list=$(printf '%s, ' "${failed[@]}")
    echo "FAILED: ${list%, } (${#failed[@]} of ${#names[@]} stages, in $total)"
    exit 1
fi
