#!/usr/bin/env bash
# The benchmarks beside the peers a user would pick instead (docs/performance.md), in one run
# of a few minutes: the command line against libfido2, the desktop tool's start-up against a
# bare Qt window, and the host's share of an exchange (time, callgrind instructions, the
# wire's floor). Not a test: CI runs only one-pair smokes of the programs (ctest -L bench).
#   ./scripts/bench.sh [RESULTS-FOLDER]      (default build/default/bench-results)
# PAIRS (default 25) and RUNS (default 200) change the sample sizes. KELVORA_BENCH_BUILD names
# another build folder of the same sources (say, one configured with -DKELVORA_HARDEN=OFF to
# see what the hardened flags cost); it must be configured already.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${KELVORA_BENCH_BUILD:-build/default}
out=${1:-$build/bench-results}
pairs=${PAIRS:-25}
runs=${RUNS:-200}

for tool in valgrind callgrind_annotate gnuplot lscpu; do
  if ! command -v "$tool" >/dev/null; then
    echo "bench: $tool is missing (run scripts/setup.sh)" >&2
    exit 1
  fi
done

if [ -z "${KELVORA_BENCH_BUILD:-}" ]; then cmake --preset default >/dev/null; fi
cmake --build "$build" --target kelvora-vkey kelvora-fido2 kelvora-fido2-manager \
  libfido2_ops bare_qt_window exchange_cost
mkdir -p "$out"

echo "== command line vs libfido2 ($pairs pairs per operation)"
python3 bench/peers/compare.py cli --pairs "$pairs" --json "$out/cli.json" \
  --vkey "$build/vkey/kelvora-vkey" --ours "$build/cli/kelvora-fido2" \
  --peer "$build/bench/peers/libfido2_ops"

echo "== desktop tool start-up vs a bare Qt window ($pairs pairs)"
python3 bench/peers/compare.py startup --pairs "$pairs" --json "$out/startup.json" \
  --ours "$build/app/kelvora-fido2-manager" --peer "$build/bench/peers/bare_qt_window"

echo "== one start-up each under callgrind (instructions to the first frame and the exit)"
# Instruction counts do not drift with the machine's load as times do: the figures to
# compare a change with when the machine is shared.
runtime=$(mktemp -d)
mkdir -p "$out/profiles"
for side in tool bare; do
  if [ $side = tool ]; then
    argv=("$build/app/kelvora-fido2-manager" --screenshot "$runtime/$side.png")
  else
    argv=("$build/bench/peers/bare_qt_window" "$runtime/$side.png")
  fi
  QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$runtime valgrind --tool=callgrind \
    --callgrind-out-file="$out/profiles/startup-$side.callgrind" "${argv[@]}" 2>"$runtime/$side.log"
  echo "$side: $(sed -n 's/.*I *refs: *//p' "$runtime/$side.log") instructions"
done | tee "$out/startup-instructions.txt"
rm -rf "$runtime"

echo "== one exchange with the in-process key"
python3 bench/stack/measure.py "$build/bench/stack/exchange_cost" --runs "$runs" \
  --json "$out/exchange.json" --keep "$out/profiles"

echo "== tables"
python3 bench/report.py "$out"
gnuplot -e "data='$out/ratios.dat'; out='$out/ratios.png'" bench/ratios.gp
echo "bench: figures in $out (tables.md, ratios.png, callgrind profiles in profiles/)"
