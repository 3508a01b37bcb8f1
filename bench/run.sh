#!/usr/bin/env bash
# Builds the benchmarks in an optimised build directory and runs every one of them: the
# in-process comparisons with Google Benchmark, then the whole-process measurements.
# Usage: bench/run.sh [BUILD_DIR [BENCHMARK_OPTION...]]
#   BUILD_DIR defaults to build-bench; the options go to each Google Benchmark program (for
#   example --benchmark_repetitions=15); KVIZ_BENCH_RUNS sets the whole-process run count.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-bench}
shift || true
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKVIZ_BENCH=ON >/dev/null
cmake --build "$build" -j2 >/dev/null

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //')"
for program in line_input_bench output_bench statement_bench; do
  echo "== $program"
  "$build/bench/$program" --benchmark_counters_tabular=true "$@"
done
echo "== whole process"
python3 bench/whole_process.py --build "$build" --runs "${KVIZ_BENCH_RUNS:-21}"
