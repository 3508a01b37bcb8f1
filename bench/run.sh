#!/usr/bin/env bash
# Builds the game as the README's first command does and measures it against its floors, all in
# one run: Google Benchmark for line input and output in process, hyperfine for start-up and
# the 100,000-question game, GNU time for peak memory, strace for the read and write calls.
# Prints the table of bench/README.md. Usage: bench/run.sh [BUILD_DIR]  (default build-bench)
#   KVIZ_BENCH_REPETITIONS (15) and KVIZ_BENCH_ROUNDS (10) set how often each case runs.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-bench}
repetitions=${KVIZ_BENCH_REPETITIONS:-15}
rounds=${KVIZ_BENCH_ROUNDS:-10}
questions=100000
cmake -S . -B "$build" >/dev/null
cmake --build "$build" -j2 >/dev/null
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
model=$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //')
echo "machine: $(nproc) cores of $model," \
  "load $(cut -d' ' -f1-3 /proc/loadavg)"

# Line input and output: the repetitions of every case interleaved at random.
TMPDIR=$scratch "$build/bench/stream_bench" --benchmark_repetitions="$repetitions" \
  --benchmark_enable_random_interleaving=true --benchmark_report_aggregates_only=true \
  --benchmark_out="$scratch/stream.json" --benchmark_out_format=json >&2

# Start-up: kviz on empty input (hyperfine's standard input) writing a file, against C
# programs making the one read and writing the same bytes in the same pieces. Many short rounds,
# so that a neighbour's burst of work falls on kviz and floor alike.
"$build/kviz" </dev/null >"$scratch/startup.txt"
hex=$(od -An -v -tx1 "$scratch/startup.txt" | tr -d ' \n')
for round in $(seq $((rounds * 2))); do
  hyperfine -N --style none --warmup 3 --runs 25 --output="$scratch/out.txt" \
    --export-json "$scratch/startup-$round.json" -n kviz "$build/kviz" \
    -n floor "$build/bench/startup_floor $hex" \
    -n "floor, dynamic" "$build/bench/startup_floor_dynamic $hex" >/dev/null
done

# The long game: questions 1 to 12 in turn, each answered right and continued with Enter,
# then a wrong answer and the two Enters the game waits for (or, "eof", the end of input).
export KVIZ_DRAWS=1,2,3,4,5,6,7,8,9,10,11,12
for ending in enters eof; do
  awk -v n=$questions -v ending=$ending 'BEGIN {
    split("paskal integer 1 real sqrt boolean 1 2 1 2 1 2", answer, " ")
    for (i = 0; i < n; i++) printf "%s\n\n", answer[i % 12 + 1]
    printf ending == "enters" ? "x\n\n\n" : "x\n" }' >"$scratch/answers-$ending.txt"
done
printf 'x\n\n\n' >"$scratch/answers-one.txt"
answers=$scratch/answers-enters.txt
"$build/kviz_scripted" <"$answers" >"$scratch/game.txt"
"$build/bench/game_floor" "$scratch/game.txt" <"$answers" >"$scratch/game-floor.txt"
if ! cmp -s "$scratch/game.txt" "$scratch/game-floor.txt"; then
  echo "the floor wrote other bytes than kviz" >&2
  exit 1
fi
for round in $(seq "$rounds"); do
  # The old output goes before each run, so that no run pays for freeing its pages.
  hyperfine --style none --warmup 1 --runs 3 --prepare "rm -f $scratch/out.txt" \
    --export-json "$scratch/game-$round.json" \
    -n kviz "$build/kviz_scripted <$answers >$scratch/out.txt" \
    -n floor "$build/bench/game_floor $scratch/game.txt <$answers >$scratch/out.txt" >/dev/null
done

"${PYTHON:-python3}" bench/table.py "$scratch"

# Peak resident memory without address randomisation, which moves it by some 100 KiB.
peak() {
  setarch -R /usr/bin/time -f %M -o "$scratch/rss" "$build/kviz_scripted" <"$1" >"$scratch/out.txt"
  cat "$scratch/rss"
}
long=$(peak "$answers")
one=$(peak "$scratch/answers-one.txt")
growth=$((long - one))
echo "| peak RSS growth, $questions-question game ($long KiB) over one question ($one KiB) |" \
  "$growth KiB | 0 KiB | | 0 | $([ $growth -le 0 ] && echo met || echo MISSED) |"

# Read and write calls: one read per 128 bytes of input (one more when the input ends before
# the game does), one write per 128 bytes of output, every read asking 128 bytes.
if ! command -v strace >/dev/null; then
  echo "strace is not installed: the read and write calls are not counted"
  exit 0
fi
for ending in enters eof; do
  strace -o "$scratch/trace" -e trace=read,write -e signal=none "$build/kviz_scripted" \
    <"$scratch/answers-$ending.txt" >"$scratch/out.txt"
  in=$(stat -c %s "$scratch/answers-$ending.txt")
  out=$(stat -c %s "$scratch/out.txt")
  grep -E '^(read\(0|write\(1), ' "$scratch/trace" >"$scratch/calls" || true
  reads=$(grep -c '^read' "$scratch/calls" || true)
  writes=$(grep -c '^write' "$scratch/calls" || true)
  # Every read asks 128 bytes and every write but the last hands over 128.
  other=$(grep -Evc '^read.*, 128\) |^write.*, 128\) += 128$' "$scratch/calls" || true)
  want_reads=$(((in + 127) / 128))
  [ $ending = eof ] && want_reads=$((want_reads + 1))
  want_writes=$(((out + 127) / 128))
  verdict=MISSED
  if [ "$reads" -eq "$want_reads" ] && [ "$writes" -eq "$want_writes" ] && [ "$other" -le 1 ]; then
    verdict=met
  fi
  echo "| reads of fd 0 / writes to fd 1, input ending with $ending | $reads / $writes |" \
    "$want_reads / $want_writes | exact | minimum | $verdict |"
done
