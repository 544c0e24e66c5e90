#!/usr/bin/env bash
# Runs every built fuzz target for the given number of seconds (default 30), each seeded
# from its committed corpus in fuzz/corpus/<target>. New inputs go to a scratch folder so
# the committed corpus only changes on purpose. Fails on the first crash.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-30}"
shopt -s nullglob
targets=(build/fuzz/fuzz/*/fuzz_*)
if [ ${#targets[@]} -eq 0 ]; then
  echo "fuzz: no targets built (run scripts/build.sh fuzz)" >&2
  exit 1
fi
passed=0
for target in "${targets[@]}"; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  scratch=$(mktemp -d)
  seeds=()
  [ -d "fuzz/corpus/$name" ] && seeds=("fuzz/corpus/$name")
  echo "fuzz: $name for ${seconds}s"
  "$target" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$scratch/" \
    "$scratch" "${seeds[@]}" 2>&1 | grep -E '^(stat::number_of_executed_units|stat::new_units_added|==|SUMMARY)' || true
  # With nullglob an unmatched pattern vanishes, so count the matches (a bare `ls` of
  # nothing would list the current folder and succeed).
  failures=("$scratch"/crash-* "$scratch"/leak-* "$scratch"/timeout-* "$scratch"/oom-*)
  if [ ${#failures[@]} -gt 0 ]; then
    echo "fuzz: $name found a failing input:" "${failures[@]}" >&2
    exit 1
  fi
  rm -rf "$scratch"
  passed=$((passed + 1))
done
echo "fuzz: $passed passed, 0 failed"
