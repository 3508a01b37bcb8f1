# What the CI legs share, sourced by each: the project's folder as the working one, a step's
# heading with the time taken so far, the README's commands, a game played to its end, and ctest
# that fails on a skipped test. A leg that cannot run for want of a tool says so and ends with
# code 77, as ctest's skipped tests do; .ci/run, where every tool is installed, fails on it.
cd "$(dirname "${BASH_SOURCE[0]}")/.."
leg_started=$SECONDS
step() { echo "== $* (at $((SECONDS - leg_started)) s)"; }
skip() {
  echo "skipped: $*"
  exit 77
}

# The Nth ```sh block of the README.
readme_command() {
  awk -v n="$1" '/^```sh$/ { block++; inside = 1; next } /^```$/ { inside = 0; next }
                 inside && block == n' README.md
}

# Plays a game with a wrong first answer: whatever the draw, it ends with exit status 0 and
# the count of wrong answers. Usage: play OUTPUT PROGRAM...
play() {
  local output=$1
  shift
  printf 'x\n\n\n' | "$@" >"$output"
  grep -q "Broj netacnih odgovora: 1" "$output" || { cat "$output"; return 1; }
}

# Runs ctest in a build folder and fails on a skipped test (.ci/check-skips), but the one skip
# that no install mends. Usage: run_ctest DIR
run_ctest() {
  local log
  log=$(mktemp)
  ctest --test-dir "$1" --output-on-failure --no-tests=error 2>&1 | tee "$log"
  bash .ci/check-skips "$1" "$log"
  rm -f "$log"
}
