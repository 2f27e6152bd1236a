#!/usr/bin/env bash
# Builds Quorvel's benchmarks in Release (build-bench/) and runs them on
# generated lists of 1,000, 100,000 and 1,000,000 memos, printing the table:
# each command in the benchmark's loop and in a new process that starts the
# program on the list and runs it once, beside its floor measured the same way.
#
#   tools/bench.sh                          everything (several minutes)
#   QV_BENCH_SIZES=1000,100000 tools/bench.sh
#   QV_BENCH_REPS=3 tools/bench.sh          runs per measurement (default 5)
#   QV_BENCH_FRESH_REPS=9 tools/bench.sh    runs per measurement in new processes
#                                           (default three times the above)
#   QV_BENCH_CPU=0 tools/bench.sh           the processor new processes run on
#                                           (default the last one; -1: any)
#   tools/bench.sh --benchmark_filter=MoveUp  any Google Benchmark flag
#
# The lists are generated with a fixed seed in a temporary folder and removed
# afterwards. Timings are medians; run it on an otherwise idle machine.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/deps.sh
qv_install_missing
dir=build-bench
if [ ! -f "$dir/build.ninja" ] || ! grep -q '^QV_BENCH:BOOL=ON' "$dir/CMakeCache.txt"; then
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQV_BENCH=ON >/dev/null
fi
cmake --build "$dir" --target quorvel_bench -- -j"$(nproc)"
export QT_QPA_PLATFORM=offscreen
# Qt wants a private runtime folder; without a desktop session there is none.
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
    export XDG_RUNTIME_DIR=/tmp/runtime-$(id -u)
    mkdir -p -m 0700 "$XDG_RUNTIME_DIR"
fi
exec "$dir/quorvel_bench" "$@"
