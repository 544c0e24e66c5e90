#!/usr/bin/env bash
# Runs the tests that race against threads, windows or other processes many times each while
# a busy loop takes one core, the way a shared CI machine may be loaded, and counts the
# failures per program and build. Not part of the CI run: it takes long and is for hunting.
#   KELVORA_FLAKE_PRESETS="default asan tsan"  the builds to try
#   KELVORA_FLAKE_RUNS=20                       runs of each program per build
#   KELVORA_FLAKE_FILTER=regex                  only the programs whose name matches
#   KELVORA_FLAKE_GTEST_FILTER=pattern          passed on as --gtest_filter
#   KELVORA_FLAKE_BUILD=0                       use the builds as they are
#   KELVORA_FLAKE_BUILD_ROOT=dir                where the builds are (build/); not built then
#   KELVORA_FLAKE_RUN_TIMEOUT=600               seconds one run may take before it counts as hung
# The log of every failed run is kept under build/flake-hunt/<preset>/.
set -uo pipefail
cd "$(dirname "$0")/.."

presets="${KELVORA_FLAKE_PRESETS:-default asan tsan}"
runs="${KELVORA_FLAKE_RUNS:-20}"
filter="${KELVORA_FLAKE_FILTER:-.}"
run_timeout="${KELVORA_FLAKE_RUN_TIMEOUT:-600}"
build_root="${KELVORA_FLAKE_BUILD_ROOT:-build}"

# The window, end-to-end, command line and transport programs, and those whose tests start
# threads of their own.
programs=(
  test_toolkit test_message_box test_fingerprint_dialogs test_pin_dialogs
  test_app test_app_panel test_app_instance
  test_e2e_gui test_e2e_transport test_e2e_vkey_socket
  test_cli test_cli_removal test_transport
  test_vkey test_ctap_bio_flows test_ctap_pin_flows
)

sanitizer_env() {
  case "$1" in
    asan) echo "ASAN_OPTIONS=detect_leaks=1:abort_on_error=1" \
               "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1" ;;
    tsan) echo "TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:ignore_noninstrumented_modules=1" ;;
  esac
}

busy_pid=""
stop_busy_loop() {
  if [ -n "$busy_pid" ]; then
    kill "$busy_pid" 2>/dev/null
    wait "$busy_pid" 2>/dev/null
  fi
}
trap stop_busy_loop EXIT
trap 'exit 130' INT TERM

if [ "${KELVORA_FLAKE_BUILD:-1}" != 0 ] && [ -z "${KELVORA_FLAKE_BUILD_ROOT:-}" ]; then
  for preset in $presets; do
    echo "=== build: $preset"
    cmake --preset "$preset" >/dev/null || exit 1
    cmake --build --preset "$preset" -j "$(nproc)" || exit 1
  done
fi

sh -c 'while :; do :; done' &
busy_pid=$!

gtest_args=()
if [ -n "${KELVORA_FLAKE_GTEST_FILTER:-}" ]; then
  gtest_args+=("--gtest_filter=$KELVORA_FLAKE_GTEST_FILTER")
fi

table=()
failed_total=0
for preset in $presets; do
  logs="build/flake-hunt/$preset"
  mkdir -p "$logs"
  read -r -a extra_env <<<"$(sanitizer_env "$preset")"
  for program in "${programs[@]}"; do
    [[ "$program" =~ $filter ]] || continue
    binary="$(find "$build_root/$preset/tests" -name "$program" -type f -perm -u+x 2>/dev/null | head -1)"
    if [ -z "$binary" ]; then
      table+=("$(printf '%-28s %-8s %5s %8s' "$program" "$preset" - "not built")")
      continue
    fi
    failures=0
    for ((run = 1; run <= runs; run++)); do
      log="$logs/$program.$run.log"
      if (cd "$(dirname "$binary")" &&
          env QT_QPA_PLATFORM=offscreen "${extra_env[@]}" \
            timeout -k 10 "$run_timeout" "./$program" "${gtest_args[@]}") >"$log" 2>&1; then
        rm -f "$log"
        echo "passed: $preset $program run $run"
      else
        failures=$((failures + 1))
        echo "FAILED: $preset $program run $run (log: $log)"
        grep -E '^\[  FAILED  \]|Failure|ERROR|WARNING: ThreadSanitizer' "$log" | head -5
      fi
    done
    echo "$preset $program: $runs runs, $failures failed"
    failed_total=$((failed_total + failures))
    table+=("$(printf '%-28s %-8s %5d %8d' "$program" "$preset" "$runs" "$failures")")
  done
done

echo
printf '%-28s %-8s %5s %8s\n' program preset runs failures
printf '%s\n' "${table[@]}"
echo "$failed_total failed run(s)"
[ "$failed_total" -eq 0 ]
