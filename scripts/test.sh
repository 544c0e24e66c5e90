#!/usr/bin/env bash
# Sets the machine up, builds and runs every test: the normal build, the AddressSanitizer
# build, a short run of every fuzz target, the tool on a real X server and the compile check
# of the Windows sources.
#   KELVORA_TEST_PRESETS="default asan tsan"  which builds to test
#   KELVORA_FUZZ_SECONDS=30               how long each fuzz target runs (0 skips fuzzing)
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/setup.sh
presets="${KELVORA_TEST_PRESETS:-default asan tsan}"
for preset in $presets; do
  echo "=== build and test: $preset"
  ./scripts/build.sh "$preset"
  ctest --preset "$preset" -j "$(nproc)"
done

echo "=== real display smoke"
./scripts/x11-smoke.sh "build/$(printf '%s\n' $presets | head -1)"

if [ "${KELVORA_FUZZ_SECONDS:-30}" != 0 ]; then
  echo "=== fuzz smoke"
  ./scripts/build.sh fuzz
  ./scripts/fuzz.sh "${KELVORA_FUZZ_SECONDS:-30}"
fi

echo "=== Windows compile check"
./scripts/check-windows.sh
