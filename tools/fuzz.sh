#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for a bounded time on its
# seed corpus. Fails on any crash, leak or sanitizer report.
# Usage: tools/fuzz.sh [seconds per target, default 20]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}
dir=build-fuzz
if [ ! -f "$dir/build.ninja" ]; then
    CC=clang CXX=clang++ cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DQV_FUZZ=ON >/dev/null
fi
cmake --build "$dir" -- -j"$(nproc)"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The targets run side by side, one per core at most at a time.
run_one() {
    local target=$1 name
    name=$(basename "$target")
    local seeds=tests/fuzz/corpus/${name#fuzz_}
    mkdir -p "$work/$name"
    if "$target" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$work/$name-" \
        "$work/$name" "$seeds" >"$work/$name.log" 2>&1; then
        local runs
        runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$work/$name.log" | grep -o '[0-9]*$')
        echo "fuzz $name: ${runs:-?} runs, no findings"
        touch "$work/$name.ok"
    else
        echo "fuzz $name: FAILED"
        tail -n 40 "$work/$name.log"
        return 1
    fi
}
names=()
for target in "$dir"/fuzz_*; do
    [ -f "$target" ] && [ -x "$target" ] || continue
    while [ "$(jobs -rp | wc -l)" -ge "$(nproc)" ]; do
        wait -n || true
    done
    names+=("$(basename "$target")")
    run_one "$target" &
done
wait
status=0
for name in "${names[@]}"; do
    [ -f "$work/$name.ok" ] || status=1
done
[ ${#names[@]} -gt 0 ] || { echo "no fuzz targets were built"; status=1; }
exit $status
