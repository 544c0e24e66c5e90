#!/usr/bin/env bash
# The Windows programs against keys behind Wine's own HID stack (hid-rig.sh), with no
# --virtual anywhere: the command line's whole flow for a CTAP2 model with another program
# holding the key open, for a legacy model and for the sixth model; the HID backend's and
# the device notifications' own tests; several supported keys and a product name in code
# page 932; a key pulled while the command line waits for a finger; the desktop tool in
# Wine's own windows (rig-desktop.sh). Every step has a hard time limit and checks what the
# programs say or show; each step's time and the whole are printed.
# The desktop step compares with the Linux tool's pictures: the default preset must be built.
#   rig-checks.sh BUILD_DIR     (the windows preset's build folder)
set -euo pipefail
bin=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
wine_run=$here/wine-run.sh
rig=$here/hid-rig.sh
export KELVORA_WINEPREFIX=${KELVORA_WINEPREFIX:-$HOME/.cache/kelvora/wineprefix}
export KELVORA_RIG_VKEY=$bin/vkey/kelvora-vkey.exe
wineserver=/usr/lib/wine/wineserver64
fail() { echo "rig-checks: $*" >&2; exit 1; }
began=$(date +%s)
step_began=
step() {
  local now
  now=$(date +%s)
  [ -z "$step_began" ] || echo "rig-checks: step done in $((now - step_began)) s"
  step_began=$now
  [ $# -eq 0 ] || echo "=== windows rig: $*"
}

# The device notifications' hidden window needs a desktop, which Wine makes only when its
# server starts with a display: the prefix's server is restarted on a virtual X server.
work=$(mktemp -d)
xvfb=
cleanup() {
  "$rig" stop >/dev/null 2>&1 || true
  WINEPREFIX=$KELVORA_WINEPREFIX "$wineserver" -k 2>/dev/null || true
  if [ -n "$xvfb" ]; then kill "$xvfb" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
WINEPREFIX=$KELVORA_WINEPREFIX "$wineserver" -k 2>/dev/null || true
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb did not start"
export KELVORA_WINE_DISPLAY=":$(head -1 "$work/display")"

cli=$bin/cli/kelvora-fido2.exe
step "command line, model 3, another program on the key all along"
KELVORA_CLI_FLOW_CHATTER=1 timeout -s KILL 300 "$here/../lib/cli-flow.sh" "$cli" --rig 3
step "command line, model 1 (legacy, DES secure messaging)"
timeout -s KILL 300 "$here/../lib/cli-flow.sh" "$cli" --rig 1 --firmware 16
step "command line, model 6 (settle wait, no firmware query)"
timeout -s KILL 300 "$here/../lib/cli-flow.sh" "$cli" --rig 6 --firmware 18

step "HID backend and notifications: two keys and another vendor's device"
timeout -s KILL 120 "$rig" start 3 >/dev/null
timeout -s KILL 60 "$rig" foreign 1 >/dev/null
timeout -s KILL 60 "$rig" add 2 6 >/dev/null
control=$(sed 's|/|\\|g' <<<"Z:$(cd "$here/../.." && pwd)/build/windows/hid_rig/kelvora-hid-rig.exe")
KELVORA_RIG_PRODUCTS=2B03,2B06 KELVORA_RIG_CONTROL=$control KELVORA_WINE_TIMEOUT=120 \
  KELVORA_WINE_EXPECT='[  PASSED  ] 3 tests' \
  "$wine_run" "$bin/tests/app/test_app_platform.exe" --gtest_filter='RigTest.*' | tr -d '\r' |
  grep -E '^\[ +(OK|FAILED|PASSED) +\]|Failure' || fail "the rig's transport tests failed"

step "three supported keys, one named in code page 932, and another vendor's device"
KELVORA_RIG_PRODUCT='Kelvora 指紋キー ③' timeout -s KILL 60 "$rig" add 3 1 --firmware 16 >/dev/null
listed=$(KELVORA_WINE_TIMEOUT=60 "$wine_run" "$cli" --json list 2>&1 | tr -d '\r')
# The three keys, each once, in the product list's order; the other vendor's device is skipped.
products=$(/usr/bin/python3 -c 'import json, sys
keys = json.loads(sys.argv[1])["keys"]
print(" ".join(k["productId"] + ":" + k["productName"] for k in keys))' "$listed") ||
  fail "list did not answer: $listed"
[ "$products" = "1a01:Kelvora 指紋キー ③ 2b03:Kelvora Virtual Key 3 2b06:Kelvora Virtual Key 6" ] ||
  fail "list found: $products"
status=0
said=$(KELVORA_WINE_TIMEOUT=60 "$wine_run" "$cli" info 2>&1 | tr -d '\r') || status=$?
[ "$status" -eq 2 ] && grep -qF '3 supported keys are attached; choose one with --device' <<<"$said" ||
  fail "info with three keys (exit $status): $said"
legacy=$(/usr/bin/python3 -c 'import json, sys
print(json.loads(sys.argv[1])["keys"][0]["path"])' "$listed")
said=$(KELVORA_WINE_TIMEOUT=60 "$wine_run" "$cli" --device "$legacy" info 2>&1 | tr -d '\r')
grep -qx 'product name: *Kelvora 指紋キー ③' <<<"$said" && grep -qF '(model 1, 1a01)' <<<"$said" ||
  fail "info on the legacy key: $said"
echo "rig-checks: three keys listed, info asks which, the legacy key's name decoded from code page 932"

step "the key pulled while the command line waits for a finger"
timeout -s KILL 60 "$rig" stop >/dev/null
printf '1234\n' >"$work/pin" # the daemon takes its starting PIN from a file, never argv
timeout -s KILL 120 "$rig" start 3 --pin-file "Z:$work/pin" >/dev/null
out=$work/removal
(
  status=0
  printf '1234\n' | KELVORA_WINE_TIMEOUT=60 KELVORA_WINE_LOG=$work/live "$wine_run" "$cli" \
    --json fingerprints enroll --name thumb --pin-stdin >"$out" 2>&1 || status=$?
  echo "exit $status" >>"$out"
) &
waiter=$!
# Pulled once the command waits for the finger (about 1.5 s after the start here, far more on
# a loaded machine: a fixed pause pulled it while it was still opening the key).
for _ in $(seq 600); do
  grep -qF 'Touch the sensor' "$work/live" 2>/dev/null && break
  sleep 0.1
done
grep -qF 'Touch the sensor' "$work/live" ||
  fail "the command never waited for a finger: $(tr -d '\r' <"$work/live" 2>/dev/null)"
pulled=$(date +%s%N)
timeout -s KILL 60 "$rig" unplug >/dev/null
wait "$waiter" || true
ended=$(( ($(date +%s%N) - pulled) / 1000000 ))
result=$(tr -d '\r' <"$out")
grep -qF 'the key was removed during enrollment' <<<"$result" && grep -qx 'exit 3' <<<"$result" ||
  fail "the removal was not reported as such: $result"
echo "rig-checks: removal reported, the command ended ${ended} ms after the pull began"
[ "$ended" -lt 10000 ] || fail "the command took ${ended} ms to notice the removal"

step "the desktop tool in Wine's own windows, driven by clicks"
timeout -s KILL 300 "$here/rig-desktop.sh" "$bin" "$here/../../build/default"
step
echo "rig-checks: passed in $(($(date +%s) - began)) s"
