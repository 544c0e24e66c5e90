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
#   fuzz      every fuzz target for KELVORA_FUZZ_SECONDS, as many at once as there are cores,
#             beside the Windows stage at the lowest priority
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
ccache_dir=${KELVORA_CCACHE_DIR:-/var/cache/kelvora/ccache}
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
    CCACHE_DIR=$ccache_dir ccache -s || true
  fi
}
# Work that needs nothing the stages before it make runs beside them, at the lowest priority,
# on what they leave of the cores (a link, a test waiting on a window, the guest's one
# emulated CPU, Wine waiting on its server); its own stage then only waits for it.
declare -A beside_pid beside_log
start_beside() {
  local name=$1
  shift
  beside_log[$name]=$(mktemp)
  echo "=== $name: begun beside the stages that follow"
  # A session of its own, to end it as a whole; the scheduler shares the cores between
  # sessions first (autogroups), so the session itself is made the lowest priority, and the
  # nice value does the same where the kernel has no autogroups.
  setsid -w nice -n 19 bash -c '(echo 19 >/proc/self/autogroup) 2>/dev/null; start=$SECONDS
    "$@"; status=$?; echo "beside: took $((SECONDS - start)) s"; exit $status' _ "$@" \
    >"${beside_log[$name]}" 2>&1 &
  beside_pid[$name]=$!
}
finish_beside() {
  local name=$1 status=0
  wait "${beside_pid[$name]}" || status=$?
  unset "beside_pid[$name]"
  if [ "$status" -eq 0 ]; then tail -n 40 "${beside_log[$name]}"; else cat "${beside_log[$name]}"; fi
  timings+=("$(printf '%8s  %s' "($(awk '/^beside: took/ {print $3}' "${beside_log[$name]}") s)" \
    "$name, beside the other stages")")
  rm -f "${beside_log[$name]}"
  return "$status"
}
stop_beside() {
  local pid
  for pid in "${beside_pid[@]}"; do kill -- "-$pid" 2>/dev/null || true; done
}
trap 'stop_beside; report' EXIT

build_and_test() {
  ./scripts/build.sh "$1"
  if [ "$1" = default ]; then
    ./scripts/hardening-check.sh build/default
  fi
  ctest --preset "$1" -j "$jobs"
}

stage "setup" ./scripts/setup.sh
# The compiler cache's figures at the end are this run's alone.
if command -v ccache >/dev/null; then
  CCACHE_DIR=$ccache_dir ccache -z >/dev/null || true
fi

# From an empty cache the Windows libraries (Qt above all) are the longest build of the run;
# they need only the cross compilers. With the cache filled nothing starts.
windows=${KELVORA_WINDOWS:-1}
windows_libraries="Windows: the libraries, from Debian's sources"
if [ "$windows" != 0 ] && ! ./scripts/windows-deps.sh --print-prefix >/dev/null 2>&1; then
  start_beside "$windows_libraries" ./scripts/windows-deps.sh
fi

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

fuzz_seconds=${KELVORA_FUZZ_SECONDS:-30}
fuzz=(bash -c './scripts/build.sh fuzz && ./scripts/fuzz.sh "$0"' "$fuzz_seconds")
fuzz_job="fuzz: build and smoke"
if [ "$windows" != 0 ]; then
  if [ -n "${beside_pid[$windows_libraries]:-}" ]; then
    stage "$windows_libraries (what is left)" finish_beside "$windows_libraries"
  fi
  # The fuzz targets run for a fixed time, not a fixed amount of work: beside the Windows
  # stage, whose tests wait on Wine much of the time, they cost little time of their own.
  if [ "$fuzz_seconds" != 0 ]; then
    start_beside "$fuzz_job" "${fuzz[@]}"
  fi
  stage "Windows: cross-build, tests and windows under Wine, installer" ./scripts/windows-test.sh
  if [ -n "${beside_pid[$fuzz_job]:-}" ]; then
    stage "$fuzz_job (what is left)" finish_beside "$fuzz_job"
  fi
elif [ "$fuzz_seconds" != 0 ]; then
  stage "$fuzz_job" "${fuzz[@]}"
fi

if [ "${KELVORA_PACKAGE:-1}" != 0 ]; then
  stage "Debian package: build, install, try, remove" ./scripts/package-check.sh
fi
