#!/usr/bin/env bash
# Bounded fuzzing for CI: builds the fuzz target with clang and libFuzzer, runs it for
# FUZZ_SECONDS (60 by default) on both cores, then replays the corpus and the regressions.
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v clang++ >/dev/null; then
  echo "clang++ not found: fuzzing skipped"
  exit 0
fi
build=${FUZZ_BUILD_DIR:-build-fuzz}
CXX=clang++ cmake -S . -B "$build" -DKVIZ_FUZZ=ON -DKVIZ_TESTS=OFF -DKVIZ_BENCH=OFF \
  -DKVIZ_WERROR=ON >/dev/null
cmake --build "$build" -j2 --target console_fuzz
# New finds go to a scratch folder, so the corpus in the repository stays as it is. A crashing
# input is left in the build folder; keep it under fuzz/regressions/ once mended.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
"$build/fuzz/console_fuzz" -fork=2 -max_total_time="${FUZZ_SECONDS:-60}" -max_len=4096 \
  -artifact_prefix="$build/fuzz/" "$scratch" fuzz/corpus 2>&1 | tail -n 30
ctest --test-dir "$build/fuzz" --output-on-failure
