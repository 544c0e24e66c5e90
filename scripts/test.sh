#!/usr/bin/env bash
# Sets the machine up, builds and runs every test: the normal build, the sanitizer builds,
# a short run of every fuzz target, the tool on a real X server, the Windows build with its
# tests under Wine, and the Debian package installed, tried and removed again.
#   KELVORA_TEST_PRESETS="default asan tsan"  which builds to test
#   KELVORA_FUZZ_SECONDS=30               how long each fuzz target runs (0 skips fuzzing)
#   KELVORA_WINDOWS=1                     0 skips the Windows stage
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/setup.sh
presets="${KELVORA_TEST_PRESETS:-default asan tsan}"
for preset in $presets; do
  echo "=== build and test: $preset"
  ./scripts/build.sh "$preset"
  if [ "$preset" = default ]; then
    ./scripts/hardening-check.sh build/default
  fi
  ctest --preset "$preset" -j "$(nproc)"
done

echo "=== real display smoke"
./scripts/x11-smoke.sh "build/$(printf '%s\n' $presets | head -1)"

if [ "${KELVORA_FUZZ_SECONDS:-30}" != 0 ]; then
  echo "=== fuzz smoke"
  ./scripts/build.sh fuzz
  ./scripts/fuzz.sh "${KELVORA_FUZZ_SECONDS:-30}"
fi

if [ "${KELVORA_WINDOWS:-1}" != 0 ]; then
  echo "=== Windows: cross-build, tests and windows under Wine, installer"
  ./scripts/windows-test.sh
fi

echo "=== Debian package: build, install, try, remove"
./scripts/package-check.sh
