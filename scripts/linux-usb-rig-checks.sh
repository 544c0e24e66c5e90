#!/usr/bin/env bash
# The Linux programs against keys behind a real kernel's USB, HID and hidraw drivers and
# udev (scripts/linux-usb-rig.sh), with no KELVORA_VKEY and no --virtual in the guest: the
# command line's whole flow for a CTAP2 model, a legacy model and the sixth model; the
# hidraw backend's and the udev watcher's own tests; the package's udev rule for an
# ordinary user; Debian's fido2-token as an independent client; a key pulled while the
# command line waits for a finger. Every step has a hard time limit and checks what the
# programs say.
#   linux-usb-rig-checks.sh [BUILD_DIR]     (the default preset's build folder)
set -euo pipefail
exec </dev/null # a guest command gets input only where a step pipes it some
root=$(cd "$(dirname "$0")/.." && pwd)
KELVORA_RIG_BUILD=$(cd "${1:-$root/build/default}" && pwd)
export KELVORA_RIG_BUILD
rig=$root/scripts/linux-usb-rig.sh
flow=$root/scripts/lib/cli-flow.sh
work=$(mktemp -d)
# A failed step leaves what the guest, the daemon and the emulator said last: the state folder
# goes with the guest.
trap 'status=$?; [ "$status" = 0 ] || "$rig" logs >&2 || true
  "$rig" stop >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
# A stage time-out stops the guest too, or it would go on using a core.
trap 'exit 1' TERM INT
fail() { echo "linux-rig-checks: $*" >&2; exit 1; }
step() { echo "=== linux rig (${SECONDS} s): $*"; }
in_guest() { timeout -s KILL 150 "$rig" run "$@"; }
as_user() { in_guest su -s /bin/sh user -c "$*"; }
expect() { # expect TEXT OUTPUT
  grep -qF -- "$1" <<<"$2" || fail "expected $1 in: $2"
  echo "linux-rig-checks: ok ${2:0:100}"
}

step "the guest image (built once per package version)"
KELVORA_RIG_IMAGE=$(timeout -s KILL 600 "$root/scripts/linux/guest-image.sh")
export KELVORA_RIG_IMAGE KELVORA_RIG_INITRD=$work/initrd

step "one guest for every step, each with a key of its own"
timeout -s KILL 180 "$rig" start 3 >/dev/null

step "command line, model 3"
timeout -s KILL 300 "$flow" kelvora-fido2 --linux-rig 3
step "command line, model 1 (legacy, DES secure messaging)"
timeout -s KILL 300 "$flow" kelvora-fido2 --linux-rig 1 --firmware 16
step "command line, model 6 (settle wait, no firmware query)"
timeout -s KILL 300 "$flow" kelvora-fido2 --linux-rig 6 --firmware 18

step "hidraw backend and udev watcher, a key with a Japanese product name"
KELVORA_RIG_NAME="指紋キー 3" timeout -s KILL 60 "$rig" key 3 >/dev/null
expect '"productName":"Kelvora 指紋キー 3"' "$(in_guest kelvora-fido2 --json list)"
out=$(in_guest env KELVORA_RIG_PRODUCTS=2B03 test_linux_rig 2>&1) || true
grep -E '^\[ +(OK|FAILED|PASSED) +\]|Failure' <<<"$out" || true
grep -qF '[  PASSED  ] 3 tests.' <<<"$out" || fail "the rig's transport tests failed: $out"

step "the package's udev rule and an ordinary user"
status=0
denied=$(as_user kelvora-fido2 info 2>&1) || status=$?
[ "$status" = 4 ] || fail "without the rule the user's info ended with $status: $denied"
expect "install packaging/70-kelvora-fido2.rules" "$denied"
expect '"accessDenied":true' "$(as_user kelvora-fido2 --json list)"
in_guest sh -c 'mkdir -p /etc/udev/rules.d &&
  cp /usr/share/kelvora/70-kelvora-fido2.rules /etc/udev/rules.d/ && udevadm control --reload'
timeout -s KILL 60 "$rig" unplug >/dev/null
timeout -s KILL 60 "$rig" plug >/dev/null
expect '"ok":true' "$(as_user kelvora-fido2 --json info)"
# The rule hands the key to the seat's user only: nobody else gets it.
mode=$(in_guest sh -c 'for n in /dev/hidraw*; do stat -c %A "$n"; done')
grep -q -- '---$' <<<"$mode" || fail "the key's node is open to others: $mode"

step "Debian's fido2-token on the same key"
listed=$(in_guest fido2-token -L)
expect 'vendor=0x4b56, product=0x2b03' "$listed"
expect 'version strings: FIDO_2_0' "$(in_guest sh -c "fido2-token -I ${listed%%:*}")"

step "the key pulled while the command line waits for a finger"
printf '1234\n' >"$work/pin" # the daemon takes its starting PIN from a file, never argv
timeout -s KILL 60 "$rig" key 3 --pin-file "$work/pin" >/dev/null
# The command runs on in the guest while the key is pulled; it is pulled once the command
# says it waits for a finger, however loaded this machine is.
in_guest sh -c "(printf '1234\n' | kelvora-fido2 --json fingerprints enroll --name thumb \
  --pin-stdin; echo \"exit \$?\") >/tmp/removal 2>&1 </dev/null &"
in_guest sh -c 'until grep -q "Touch the sensor" /tmp/removal; do usleep 20000; done' ||
  fail "the enrolment never waited for a finger: $(in_guest cat /tmp/removal)"
pulled=$(date +%s%N)
timeout -s KILL 60 "$rig" unplug >/dev/null
in_guest sh -c 'until grep -q "^exit " /tmp/removal; do usleep 20000; done' || true
ended=$((($(date +%s%N) - pulled) / 1000000))
in_guest cat /tmp/removal >"$work/removal"
result=$(cat "$work/removal")
grep -qF 'the key was removed during enrollment' <<<"$result" && grep -qx 'exit 3' <<<"$result" ||
  fail "the removal was not reported as such: $result"
echo "linux-rig-checks: removal reported, the command ended ${ended} ms after the pull began"
[ "$ended" -lt 10000 ] || fail "the command took ${ended} ms to notice the removal"
echo "linux-rig-checks: passed"
