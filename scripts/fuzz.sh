#!/usr/bin/env bash
# Runs every built fuzz target for the given number of seconds (default 30), each seeded
# from its committed corpus in fuzz/corpus/<target>, as many at once as there are cores
# (KELVORA_FUZZ_JOBS). New inputs go to a scratch folder so the committed corpus only changes
# on purpose. Fails when any target found a failing input.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-30}"
jobs="${KELVORA_FUZZ_JOBS:-$(nproc)}"
shopt -s nullglob
targets=()
for target in build/fuzz/fuzz/*/fuzz_*; do
  [ -x "$target" ] && [ -f "$target" ] && targets+=("$target")
done
if [ ${#targets[@]} -eq 0 ]; then
  echo "fuzz: no targets built (run scripts/build.sh fuzz)" >&2
  exit 1
fi
logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT

# One target: its statistics and any failing input go to its log, and a mark beside it when
# it found one (a mark, since `wait -n` may already have taken the exit status).
run_one() {
  local target=$1 name scratch seeds=() failures
  name=$(basename "$target")
  scratch=$(mktemp -d)
  [ -d "fuzz/corpus/$name" ] && seeds=("fuzz/corpus/$name")
  {
    echo "fuzz: $name for ${seconds}s"
    "$target" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$scratch/" \
      "$scratch" "${seeds[@]}" 2>&1 |
      grep -E '^(stat::number_of_executed_units|stat::new_units_added|==|SUMMARY)' || true
  } >"$logs/$name.log"
  # With nullglob an unmatched pattern vanishes, so count the matches (a bare `ls` of
  # nothing would list the current folder and succeed).
  failures=("$scratch"/crash-* "$scratch"/leak-* "$scratch"/timeout-* "$scratch"/oom-*)
  if [ ${#failures[@]} -gt 0 ]; then
    mkdir -p build/fuzz/findings
    cp "${failures[@]}" build/fuzz/findings/
    echo "fuzz: $name found a failing input, kept in build/fuzz/findings:" \
      "${failures[@]##*/}" >>"$logs/$name.log"
    touch "$logs/$name.failed"
  fi
  rm -rf "$scratch"
}

names=()
for target in "${targets[@]}"; do
  while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n || true; done
  run_one "$target" &
  names+=("$(basename "$target")")
done
wait
passed=0
failed=0
for name in "${names[@]}"; do
  cat "$logs/$name.log"
  if [ -e "$logs/$name.failed" ]; then failed=$((failed + 1)); else passed=$((passed + 1)); fi
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
