#!/usr/bin/env bash
# A key behind Wine's own HID stack: the rig's driver (tests/windows/hid_rig) presents a HID
# device to the prefix of scripts/windows/wine-run.sh and forwards its reports to a Windows
# kelvora-vkey over named pipes. While started, programs run with wine-run.sh find the key
# as a Windows user's program finds a real one, with no --virtual.
#   hid-rig.sh start MODEL [VKEY OPTIONS]   build and install the driver, start a virtual key
#                                           of MODEL (1-7) in slot 0, plug it; prints the prefix
#   hid-rig.sh add SLOT MODEL [VKEY OPTIONS]  another key, in SLOT (1-7)
#   hid-rig.sh foreign SLOT                 another vendor's HID device in SLOT, no key behind
#   hid-rig.sh plug [SLOT] | unplug [SLOT]  plug a slot's device in again, or pull it (slot 0)
#   hid-rig.sh stop                         unplug everything, stop the keys
# VKEY OPTIONS are kelvora-vkey's own (--firmware, --pin-file, --auto-touch, --state, --hostile...;
# --state takes a Windows path, e.g. Z:\tmp\key). Each plug or unplug returns once the HID
# interface has appeared or gone, and a plug once the key has answered a CTAPHID INIT (not
# for --hostile keys, which may not answer).
#   KELVORA_WINEPREFIX   the prefix, as for wine-run.sh
#   KELVORA_RIG_VKEY     the Windows kelvora-vkey.exe (default build/windows/vkey/kelvora-vkey.exe)
#   KELVORA_RIG_PRODUCT  the product string a key's device reports when started or added
#                        (default "Kelvora Virtual Key MODEL"; any Unicode text, up to 95 units)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
wine_run=$root/scripts/windows/wine-run.sh
export KELVORA_WINEPREFIX=${KELVORA_WINEPREFIX:-$HOME/.cache/kelvora/wineprefix}
prefix=$KELVORA_WINEPREFIX
bin=$root/build/windows/hid_rig
state=$prefix.rig
vkey=${KELVORA_RIG_VKEY:-$root/build/windows/vkey/kelvora-vkey.exe}
products=(1A01 1A02 2B03 2B04 2B05 2B06 2B07)

die() { echo "hid-rig: $*" >&2; exit 1; }
winpath() { echo "Z:${1//\//\\}"; }

control() { # control EXPECT ARGS...
  local expect=$1
  shift
  KELVORA_WINE_TIMEOUT=60 KELVORA_WINE_EXPECT=$expect \
    "$wine_run" "$bin/kelvora-hid-rig.exe" "$@" 2>&1 | tr -d '\r' | grep -v ':fixme:\|:err:' ||
    return 1
}

plug() { # plug SLOT
  local slot=$1
  [ -f "$state/slot$slot" ] || die "slot $slot was never set up"
  local vid pid pipe usb ping product
  read -r vid pid pipe usb ping product <"$state/slot$slot"
  control plugged plug "$slot" "$(winpath "$bin/kelvora_rig.sys")" "$vid" "$pid" 0100 \
    "$product" "$pipe" "$usb" || die "plugging slot $slot failed"
  touch "$state/plugged$slot"
  if [ "$ping" = 1 ]; then
    control answered ping "$slot" || die "the key in slot $slot does not answer"
  fi
}

unplug() { # unplug SLOT
  local slot=$1
  control unplugged unplug "$slot" || die "unplugging slot $slot failed"
  rm -f "$state/plugged$slot"
}

add_key() { # add_key SLOT MODEL [VKEY OPTIONS]
  local slot=$1 model=$2
  shift 2
  case $model in [1-7]) ;; *) die "MODEL is 1 to 7" ;; esac
  [ -x "$vkey" ] || [ -f "$vkey" ] || die "$vkey missing (build kelvora-vkey in the windows preset)"
  local ping=1
  case " $* " in *" --hostile "*) ping=0 ;; esac
  mkdir -p "$state"
  KELVORA_WINE_DETACH=$state/vkey$slot.log "$wine_run" "$vkey" --socket "kelvora-rig-$slot" \
    --model "$model" "$@" >"$state/vkey$slot.pid"
  local product=${KELVORA_RIG_PRODUCT:-Kelvora Virtual Key $model}
  echo "4B56 ${products[$((model - 1))]} kelvora-rig-$slot 1 $ping $product" >"$state/slot$slot"
  plug "$slot"
}

stop() {
  [ -d "$state" ] || return 0
  local file
  for file in "$state"/plugged*; do
    [ -e "$file" ] || continue
    unplug "${file##*plugged}" || true
  done
  for file in "$state"/vkey*.pid; do
    [ -e "$file" ] || continue
    kill -KILL "$(cat "$file")" 2>/dev/null || true
  done
  rm -rf "$state"
}

command=${1:-}
shift || true
case $command in
  start)
    [ $# -ge 1 ] || die "usage: hid-rig.sh start MODEL [VKEY OPTIONS]"
    stop
    "$root/scripts/windows/build-hid-rig.sh" "$bin"
    add_key 0 "$@"
    echo "$prefix"
    ;;
  add)
    [ $# -ge 2 ] || die "usage: hid-rig.sh add SLOT MODEL [VKEY OPTIONS]"
    add_key "$@"
    ;;
  foreign)
    [ $# -eq 1 ] || die "usage: hid-rig.sh foreign SLOT"
    mkdir -p "$state"
    echo "046D C52B - 0 0 Other Vendor Receiver" >"$state/slot$1"
    plug "$1"
    ;;
  plug) plug "${1:-0}" ;;
  unplug) unplug "${1:-0}" ;;
  stop) stop ;;
  *) die "usage: hid-rig.sh start|add|foreign|plug|unplug|stop ..." ;;
esac
