#!/usr/bin/env bash
# Sets the machine up, builds and runs every test: the normal build, the sanitizer builds,
# a short run of every fuzz target, the tool on a real X server and on the accessibility bus,
# the Windows build with its tests under Wine, and the Debian package installed, tried and
# removed again.
#
# Which tests run where (the labels are in cmake/KelvoraTestLabels.cmake):
#   default   every test program, the interoperability tests and the benchmark smokes
#   asan      every test program under AddressSanitizer and UndefinedBehaviorSanitizer
#   tsan      the programs labelled "threads" (windows, workers, watchdogs, notification
#             watchers, the daemon, removal): the pure parsers and tables start no thread,
#             and AddressSanitizer and the fuzzers cover them
#   fuzz      every fuzz target for KELVORA_FUZZ_SECONDS, as many at once as there are cores
#
#   scripts/test.sh --quick               only the unit and flow tests of the default build,
#                                         for the edit-compile-test loop (no setup, no sanitizers)
#   KELVORA_TEST_PRESETS="default asan tsan"  which builds to test
#   KELVORA_FUZZ_SECONDS=30               how long each fuzz target runs (0 skips fuzzing)
#   KELVORA_WINDOWS=1                     0 skips the Windows stage
#   KELVORA_PACKAGE=1                     0 skips the Debian package check
#   KELVORA_LINUX_RIG=1                   0 skips the Linux key rig (a QEMU guest)
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=$(nproc)
if [ "${1:-}" = --quick ]; then
  ./scripts/build.sh default
  exec ctest --preset quick -j "$jobs"
fi

# Every stage is timed; the table at the end says where the time went.
timings=()
stage() {
  local name=$1 start=$SECONDS
  shift
  echo "=== $name"
  "$@"
  timings+=("$(printf '%6d s  %s' $((SECONDS - start)) "$name")")
}
report() {
  echo "=== time per stage"
  printf '%s\n' "${timings[@]}"
  printf '%6d s  in all\n' "$SECONDS"
  if command -v ccache >/dev/null; then
    echo "=== compiler cache"
    CCACHE_DIR=${KELVORA_CCACHE_DIR:-/var/cache/kelvora/ccache} ccache -s || true
  fi
}
# The Windows libraries' build below, when it runs beside the Linux stages.
windows_deps_pid=""
stop_windows_deps() {
  if [ -n "$windows_deps_pid" ] && kill -0 "$windows_deps_pid" 2>/dev/null; then
    kill -- "-$windows_deps_pid" 2>/dev/null || true
  fi
}
trap 'stop_windows_deps; report' EXIT

build_and_test() {
  ./scripts/build.sh "$1"
  if [ "$1" = default ]; then
    ./scripts/hardening-check.sh build/default
  fi
  ctest --preset "$1" -j "$jobs"
}

stage "setup" ./scripts/setup.sh

# From an empty cache the Windows libraries (Qt above all) are the longest build of the run,
# and they need nothing the Linux stages make: they build beside those, at the lowest
# priority, on what the Linux stages leave of the cores (a link, a test waiting on a window,
# the guest's one emulated CPU), and the Windows stage waits for them. With the cache filled
# nothing starts.
windows_deps_log=""
if [ "${KELVORA_WINDOWS:-1}" != 0 ] && ! ./scripts/windows-deps.sh --print-prefix >/dev/null 2>&1; then
  windows_deps_log=$(mktemp)
  setsid nice -n 19 ./scripts/windows-deps.sh >"$windows_deps_log" 2>&1 &
  windows_deps_pid=$!
  echo "=== the Windows libraries are not built yet: building them beside the Linux stages"
fi
wait_windows_deps() {
  local status=0
  wait "$windows_deps_pid" || status=$?
  windows_deps_pid=""
  tail -n 20 "$windows_deps_log"
  rm -f "$windows_deps_log"
  return "$status"
}

presets="${KELVORA_TEST_PRESETS:-default asan tsan}"
for preset in $presets; do
  stage "build and test: $preset" build_and_test "$preset"
done

stage "real display smoke" ./scripts/x11-smoke.sh "build/$(printf '%s\n' $presets | head -1)"
stage "the accessibility bus: every window walked and a PIN change done as a reader would" \
  ./scripts/atspi-walk.sh "build/$(printf '%s\n' $presets | head -1)"

if [ "${KELVORA_LINUX_RIG:-1}" != 0 ] && [[ " $presets " == *" default "* ]]; then
  stage "Linux key rig: the command line, hidraw, udev and fido2-token in a QEMU guest" \
    timeout -k 60 1500 ./scripts/linux-usb-rig-checks.sh build/default
fi

if [ "${KELVORA_FUZZ_SECONDS:-30}" != 0 ]; then
  stage "fuzz: build" ./scripts/build.sh fuzz
  stage "fuzz: smoke" ./scripts/fuzz.sh "${KELVORA_FUZZ_SECONDS:-30}"
fi

if [ "${KELVORA_WINDOWS:-1}" != 0 ]; then
  if [ -n "$windows_deps_pid" ]; then
    stage "Windows: the rest of the libraries' build (begun beside the Linux stages)" \
      wait_windows_deps
  fi
  stage "Windows: cross-build, tests and windows under Wine, installer" ./scripts/windows-test.sh
fi

if [ "${KELVORA_PACKAGE:-1}" != 0 ]; then
  stage "Debian package: build, install, try, remove" ./scripts/package-check.sh
fi
