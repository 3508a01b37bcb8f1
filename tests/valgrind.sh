#!/usr/bin/env bash
# Memcheck over played games: no memory error and nothing definitely lost, on a finished game
# and on the fatal road of a failed read. Usage: tests/valgrind.sh KVIZ_SCRIPTED
set -euo pipefail
program=${1:-${KVIZ_SCRIPTED:-build/kviz_scripted}}
if ! command -v valgrind >/dev/null; then
  echo "valgrind not found: skipped"
  exit 0
fi
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# Runs the program under memcheck; $1 is the expected exit code, the rest the draws.
memcheck() {
  local expected=$1 draws=$2 status=0
  KVIZ_DRAWS=$draws valgrind -q --error-exitcode=99 --leak-check=full \
    --errors-for-leak-kinds=definite --show-leak-kinds=definite "$program" \
    >"$scratch/out" 2>"$scratch/err" || status=$?
  if [ "$status" -ne "$expected" ]; then
    echo "memcheck: exit $status, expected $expected (draws $draws)"
    cat "$scratch/err"
    return 1
  fi
}

# Every question shape: correct answers, a long answer line, draws of 0, then a wrong answer.
long=$(head -c 700 /dev/zero | tr '\0' 'a')
printf 'real\n\n1\n\nparadoks\n\n\n' | memcheck 0 4,0,3,1
printf 'integer\n\n2\n\n%s\n\n\n' "$long" | memcheck 0 2,12,7
# The fatal road: the read fails, the report is made, the exception object lives to the end.
memcheck 1 4 <"$scratch"
echo "memcheck: clean"
