#!/usr/bin/env bash
# Takes the command line through a key's life: set a PIN, enrol, list, rename, verify,
# delete, reset. Every step must succeed and say what it did.
#   cli-flow.sh PATH/kelvora-fido2.exe
#       Windows, under Wine: an in-process virtual key, model 3, whose state is kept in a file
#       between the runs
#   cli-flow.sh PATH/kelvora-fido2.exe --rig MODEL [VKEY OPTIONS]
#       Windows, under Wine: a key of MODEL behind Wine's HID stack (scripts/windows/hid-rig.sh)
#   cli-flow.sh kelvora-fido2 --linux-rig MODEL [VKEY OPTIONS]
#       Linux, in the guest of scripts/linux-usb-rig.sh (the program as the guest finds it): a
#       key of MODEL behind the guest kernel's USB and HID drivers, through /dev/hidraw
# With a rig (started and stopped here; no --virtual anywhere) the key is pulled and plugged
# in again before the reset, which a key accepts only shortly after it was plugged in.
#   KELVORA_CLI_FLOW_CHATTER=1  with --rig: another program holds the key open, pinging it and
#       asking GetInfo on a channel of its own all along (every handle sees every input
#       report); every command must still do what it does alone, and every answer come back
set -euo pipefail
# Only the steps that pipe something in give a command input.
exec </dev/null
exe=$1
shift
root=$(cd "$(dirname "$0")/../.." && pwd)
wine_run=$root/scripts/windows/wine-run.sh
runner=("$wine_run")
rig=()
if [ "${1:-}" = --rig ]; then
  model=${2:?cli-flow.sh EXE --rig MODEL [VKEY OPTIONS]}
  shift 2
  rig=("$root/scripts/windows/hid-rig.sh")
  trap '"${rig[@]}" stop >/dev/null 2>&1 || true' EXIT
  # The key takes a reset only so long after a plug-in. Counted from the plug, that window
  # must also hold the re-plug's own check and a Wine start of the command line, which on a
  # loaded two-core machine alone took over ten seconds: the rig's key allows thirty.
  "${rig[@]}" start "$model" --auto-touch 200 --reset-window 30000 "$@" >/dev/null
  if [ "${KELVORA_CLI_FLOW_CHATTER:-}" = 1 ]; then
    chatter_log=$(mktemp)
    trap '"${rig[@]}" stop >/dev/null 2>&1 || true; rm -f "$chatter_log"' EXIT
    KELVORA_WINE_DETACH=$chatter_log "$wine_run" "$root/build/windows/hid_rig/kelvora-hid-rig.exe" \
      chatter 0 600 >/dev/null
    sleep 1
  fi
  key=()
  label="rig model $model"
elif [ "${1:-}" = --linux-rig ]; then
  model=${2:?cli-flow.sh EXE --linux-rig MODEL [VKEY OPTIONS]}
  shift 2
  rig=("$root/scripts/linux-usb-rig.sh")
  runner=("${rig[@]}" run)
  # The guest starts the command line in well under a second: the key's own ten seconds. A
  # guest that runs already (the caller's) only gets a new key, and is left running.
  if "${rig[@]}" running; then
    "${rig[@]}" key "$model" --auto-touch 200 "$@" >/dev/null
  else
    trap '"${rig[@]}" stop >/dev/null 2>&1 || true' EXIT
    "${rig[@]}" start "$model" --auto-touch 200 "$@" >/dev/null
  fi
  key=()
  label="Linux guest, model $model"
  list_first=1
else
  state=$(mktemp -d)
  trap 'rm -rf "$state"' EXIT
  key=(--virtual 3 --state "$state/key")
  label="in-process model 3"
fi

# What the last command said on standard error (and the runner, when it could not run it):
# shown when its output is not what was expected.
said=$(mktemp)
cli() {
  KELVORA_WINE_TIMEOUT=120 "${runner[@]}" "$exe" "${key[@]}" --json "$@" 2>"$said" | tr -d '\r'
  true  # a failure shows in what expect() finds missing
}
expect() { # expect TEXT OUTPUT
  if ! grep -qF -- "$1" <<<"$2"; then
    echo "cli-flow ($label): expected $1 in: $2" >&2
    grep -av ':fixme:' "$said" | tail -n 8 | sed 's/^/  stderr: /' >&2
    rm -f "$said"
    exit 1
  fi
  echo "cli-flow: ok ${2:0:100}"
}

if [ -n "${list_first:-}" ]; then
  expect "\"model\":$model" "$(cli list)"
fi
info=$(cli info)
expect '"pinSet":false' "$info"
if [ "${model:-3}" = 6 ]; then
  # The sixth model is never asked for its firmware: standard command bytes whatever it runs.
  expect '"commandSet":"standard"' "$info"
fi
expect '"ok":true' "$(printf '1234\n' | cli pin set --pin-stdin)"
expect '"pinSet":true' "$(cli info)"
if [ "${model:-3}" -le 2 ]; then
  # The legacy models keep no names: enrol, list and verify by slot.
  out=$(printf '1234\n' | cli fingerprints enroll --pin-stdin)
  expect '"slot":0' "$out"
  slot=0
  expect '"slot":0' "$(printf '1234\n' | cli fingerprints list --pin-stdin)"
  expect 'keeps no fingerprint names' \
    "$(printf '1234\n' | cli fingerprints rename 0 index --pin-stdin)"
  gone='"slot":0'
else
  out=$(printf '1234\n' | cli fingerprints enroll --name thumb --pin-stdin)
  expect '"name":"thumb"' "$out"
  slot=$(sed -n 's/.*"slot":\([0-9]*\).*/\1/p' <<<"$out")
  expect '"name":"thumb"' "$(printf '1234\n' | cli fingerprints list --pin-stdin)"
  # A Japanese name on the command line reaches the key as those characters (the C
  # runtime's own argv would hold them in the ANSI code page).
  expect '"name":"人差し指"' \
    "$(printf '1234\n' | cli fingerprints rename "$slot" 人差し指 --pin-stdin)"
  gone='"name":"人差し指"'
fi
expect '"verified":true' "$(printf '1234\n' | cli fingerprints verify --pin-stdin)"
if [ "${model:-3}" -gt 2 ]; then
  expect '"ok":true' "$(printf '1234\n' | cli fingerprints enroll --name ring --pin-stdin)"
fi
expect '"ok":true' "$(printf '1234\n' | cli fingerprints delete "$slot" --pin-stdin)"
list=$(printf '1234\n' | cli fingerprints list --pin-stdin)
if grep -qF "$gone" <<<"$list"; then
  echo "cli-flow ($label): the deleted fingerprint is still listed: $list" >&2
  exit 1
fi
if [ ${#rig[@]} -gt 0 ]; then
  "${rig[@]}" unplug >/dev/null
  if [ -n "${chatter_log:-}" ]; then
    # Pulling the key ends the other program; it says how its pings went.
    for _ in $(seq 100); do grep -q 'chatter: [0-9]' "$chatter_log" && break; sleep 0.1; done
    expect 'chatter: passed' "$(tr -d '\r' <"$chatter_log")"
  fi
  "${rig[@]}" plug >/dev/null
fi
expect '"ok":true' "$(cli reset --yes)"
expect '"pinSet":false' "$(cli info)"
rm -f "$said"
echo "cli-flow ($label): passed"
