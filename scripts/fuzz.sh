#!/usr/bin/env bash
# Builds the libFuzzer targets of the input decoders and the board log's
# reader with clang (address and undefined-behaviour sanitizers on) in
# build/fuzz and runs each for a bounded time, side by side:
# DROPIX_FUZZ_SECONDS, 60 by default. Fails on any crash, sanitizer report,
# broken property or input that takes too long. Installs clang and its
# fuzzer runtime when missing (Debian 12, as root or with sudo).
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${DROPIX_FUZZ_SECONDS:-60}
targets=(answers decode_key log_reader)

. scripts/lib.sh
need clang libclang-rt-14-dev cmake make

out=build/fuzz
cmake -S tests/fuzz -B "$out" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$out" -j "$(nproc 2>/dev/null || echo 2)"

# One process per target, as many at once as there are cores: every target
# still fuzzes for its full time, and they take turns on the cores.
fuzz_one() {
    # New inputs go to a scratch corpus; the seed corpus in the tree stays as it is.
    local work="$out/corpus/$1"
    mkdir -p "$work" "$out/artifacts"
    # Inputs are kept to 1 KiB: longer ones only try the same, more slowly.
    # A board log needs more for a few snapshots of the smallest well.
    local len=1024
    [ "$1" = log_reader ] && len=4096
    exec "$out/fuzz_$1" -max_total_time="$seconds" -max_len="$len" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$out/artifacts/$1-" \
        "$work" "tests/fuzz/corpus/$1" >"$out/$1.log" 2>&1
}
cores=$(nproc 2>/dev/null || echo 2)
pids=()
# Run in the background, they would outlive an interrupted script.
trap 'kill "${pids[@]}" 2>/dev/null; exit 130' INT TERM
for t in "${targets[@]}"; do
    while [ "$(jobs -rp | wc -l)" -ge "$cores" ]; do wait -n || true; done
    echo "== fuzz $t for ${seconds} s"
    fuzz_one "$t" &
    pids+=($!)
done

status=0
for i in "${!targets[@]}"; do
    t=${targets[i]}
    log="$out/$t.log"
    if wait "${pids[i]}"; then
        execs=$(awk '/stat::number_of_executed_units/ {print $2}' "$log")
        echo "$t: ${execs:-?} executions in ${seconds} s, no failure"
    else
        tail -n 60 "$log"
        echo "$t: FAILED (log: $log, input saved under $out/artifacts/)"
        status=1
    fi
done
exit $status
