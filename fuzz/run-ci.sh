#!/usr/bin/env bash
# Bounded fuzzing for CI: builds the fuzz targets with clang, runs each for FUZZ_SECONDS (60 by
# default, both at once), then replays the seed corpus and every regression input via ctest.
set -euo pipefail
cd "$(dirname "$0")/.."

if ! command -v clang++ >/dev/null; then
  echo "clang++ not found: fuzzing skipped"
  exit 0
fi
seconds=${FUZZ_SECONDS:-60}
build=${FUZZ_BUILD_DIR:-build-fuzz}
targets=(input_stream output_stream)

CXX=clang++ cmake -S . -B "$build" -DKVIZ_FUZZ=ON -DKVIZ_TESTS=OFF -DKVIZ_BENCH=OFF -DKVIZ_WERROR=ON
cmake --build "$build" -j2 --target "${targets[@]/%/_fuzz}"

# New finds go to a scratch directory: the corpus in the repository stays as it is. A crashing
# input is left in the build directory; keep it under fuzz/regressions/<target>/ once mended.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
pids=()
for target in "${targets[@]}"; do
  mkdir -p "$scratch/$target"
  "$build/fuzz/${target}_fuzz" -max_total_time="$seconds" -max_len=4096 -print_final_stats=1 \
    -artifact_prefix="$build/fuzz/$target-" "$scratch/$target" "fuzz/corpus/$target" \
    >"$scratch/$target.log" 2>&1 &
  pids+=($!)
done
failed=0
for i in "${!targets[@]}"; do
  if ! wait "${pids[$i]}"; then
    failed=1
    echo "== ${targets[$i]}: fuzzing found a fault"
    tail -n 60 "$scratch/${targets[$i]}.log"
  else
    grep -E '^stat::number_of_executed_units|^Done' "$scratch/${targets[$i]}.log" |
      sed "s/^/${targets[$i]}: /"
  fi
done

ctest --test-dir "$build/fuzz" --output-on-failure
exit $failed
