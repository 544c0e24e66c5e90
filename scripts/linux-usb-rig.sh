#!/usr/bin/env bash
# A key behind a real Linux kernel's USB and HID drivers: a QEMU guest (TCG) built from
# Debian's packages (scripts/linux/guest-image.sh) with udevd running, and a key of MODEL
# plugged into its xHCI controller by the USB key emulator (tests/linux/usb_rig), which
# carries the key's reports to a kelvora-vkey daemon here. In the guest the key is a
# /dev/hidraw node as on a desktop; the project's programs are in /usr/bin, the package's
# udev rule in /usr/share/kelvora, an ordinary user "user" (uid 1000) is the active seat's.
#   linux-usb-rig.sh start MODEL [VKEY OPTIONS]  boot the guest with a key of MODEL (1-7)
#                                                plugged; returns once its node is there
#   linux-usb-rig.sh run COMMAND...              run COMMAND in the guest as root, with this
#                                                standard input (none from a terminal): its
#                                                output, and its exit status
#   linux-usb-rig.sh key MODEL [VKEY OPTIONS]    another key (a new daemon) in place of the
#                                                first, in the guest as it is: no boot
#   linux-usb-rig.sh unplug | plug               pull the key, plug it in again (a new
#                                                connection to the daemon: a fresh plug-in)
#   linux-usb-rig.sh running                     exit status 0 while a guest runs
#   linux-usb-rig.sh logs [LINES]                the last LINES (40) of the guest's console,
#                                                the daemon's and the emulator's output, and
#                                                of the guest's record of requests
#   linux-usb-rig.sh stop                        end the guest, the emulator and the daemon
# VKEY OPTIONS are kelvora-vkey's own (--firmware, --pin-file, --auto-touch, --reset-window...).
#   KELVORA_RIG_BUILD    the build folder with the programs (build/default)
#   KELVORA_RIG_TIMEOUT  seconds a run may take (120)
#   KELVORA_RIG_IMAGE    the guest image's folder, as scripts/linux/guest-image.sh printed it
#                        (saves its look-ups when starting many times)
#   KELVORA_RIG_INITRD   a file for the whole initrd, made by the first start and used as it
#                        is by the next ones (for many starts of one build)
#   KELVORA_RIG_NAME     the key's USB product string, UTF-8 ("Virtual Key MODEL"); the
#                        kernel names the device "Kelvora " and this
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${KELVORA_RIG_BUILD:-$root/build/default}" && pwd)
# One rig per user and clone: two clones' test runs on one machine keep to their own.
state=${KELVORA_LINUX_RIG_STATE:-/tmp/kelvora-linux-rig.$(id -u).$(sha256sum <<<"$root" | cut -c1-8)}
agent=$root/scripts/linux/rig_agent.py
products=(1A01 1A02 2B03 2B04 2B05 2B06 2B07)

die() { echo "linux-usb-rig: $*" >&2; exit 1; }

in_guest() { "$agent" "$state/agent.sock" run "${KELVORA_RIG_TIMEOUT:-120}" "$@"; }

wait_for_socket() { # wait_for_socket PATH PID
  for _ in $(seq 200); do
    [ -S "$1" ] && return 0
    kill -0 "$2" 2>/dev/null || return 1
    sleep 0.05
  done
  return 1
}

end_process() { # end_process NAME: the one started under that name, if it still runs
  [ -f "$state/$1.pid" ] || return 0
  local pid
  pid=$(cat "$state/$1.pid")
  kill "$pid" 2>/dev/null || true
  for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  kill -KILL "$pid" 2>/dev/null || true
  rm -f "$state/$1.pid"
}

stop() {
  [ -d "$state" ] || return 0
  local name
  for name in emulator qemu vkey; do end_process "$name"; done
  rm -rf "$state"
}

running() { [ -f "$state/qemu.pid" ] && kill -0 "$(cat "$state/qemu.pid")" 2>/dev/null; }

key_up() { # key_up MODEL [VKEY OPTIONS]: a daemon of MODEL and the emulator in front of it
  local model=$1
  shift
  case $model in [1-7]) ;; *) die "MODEL is 1 to 7" ;; esac
  local product=${products[$((model - 1))]}
  echo "$product" >"$state/product"
  rm -f "$state/vkey.sock"
  setsid "$build/vkey/kelvora-vkey" --socket "$state/vkey.sock" --model "$model" "$@" \
    </dev/null >"$state/vkey.log" 2>&1 &
  echo $! >"$state/vkey.pid"
  wait_for_socket "$state/vkey.sock" "$(cat "$state/vkey.pid")" ||
    die "the key's daemon did not start: $(cat "$state/vkey.log")"
  setsid "$build/tests/linux/usb_rig/kelvora-usb-key" --qemu "$state/usb.sock" \
    --vkey "$state/vkey.sock" --product "$product" --name "${KELVORA_RIG_NAME:-Virtual Key $model}" \
    </dev/null >"$state/emulator.log" 2>&1 &
  echo $! >"$state/emulator.pid"
}

start() { # start MODEL [VKEY OPTIONS]
  for p in vkey/kelvora-vkey tests/linux/usb_rig/kelvora-usb-key cli/kelvora-fido2; do
    [ -x "$build/$p" ] || die "$build/$p missing (build the default preset)"
  done
  stop
  mkdir -p "$state"
  local image
  image=${KELVORA_RIG_IMAGE:-$("$root/scripts/linux/guest-image.sh")}
  local initrd=${KELVORA_RIG_INITRD:-$state/initrd}
  [ -f "$initrd" ] || "$root/scripts/linux/guest-layer.sh" "$image" "$build" "$initrd"

  setsid qemu-system-x86_64 -accel tcg -m 1024 -smp 1 -nodefaults -no-user-config \
    -display none -no-reboot -kernel "$image/vmlinuz" -initrd "$initrd" \
    -append "console=ttyS0 quiet panic=-1" -serial "file:$state/console.log" \
    -chardev "socket,id=agent,path=$state/agent.sock,server=on,wait=off" -serial chardev:agent \
    -device qemu-xhci,id=xhci \
    -chardev "socket,id=usb0,path=$state/usb.sock,server=on,wait=off" \
    -device usb-redir,chardev=usb0,id=key0,bus=xhci.0 \
    </dev/null >"$state/qemu.log" 2>&1 &
  echo $! >"$state/qemu.pid"
  wait_for_socket "$state/usb.sock" "$(cat "$state/qemu.pid")" ||
    die "QEMU did not start: $(cat "$state/qemu.log")"
  key_up "$@"
  "$agent" "$state/agent.sock" ping 120 ||
    die "the guest did not come up: $(tail -20 "$state/console.log" 2>/dev/null)"
  in_guest rig-key present "$(cat "$state/product")" || die "the key did not appear in the guest"
  echo "$state"
}

# Another key in the running guest: the emulator leaves (a USB removal), the daemon ends, and
# a new pair comes in, without a boot.
swap_key() { # swap_key MODEL [VKEY OPTIONS]
  running || die "not started"
  end_process emulator
  in_guest rig-key absent "$(cat "$state/product")" || die "the old key is still in the guest"
  end_process vkey
  key_up "$@"
  in_guest rig-key present "$(cat "$state/product")" || die "the key did not appear in the guest"
  echo "$state"
}

signal_key() { # signal_key SIGNAL present|absent
  [ -f "$state/emulator.pid" ] || die "not started"
  kill "-$1" "$(cat "$state/emulator.pid")"
  in_guest rig-key "$2" "$(cat "$state/product")" || die "the key is not $2 in the guest"
}

command=${1:-}
shift || true
case $command in
  start)
    [ $# -ge 1 ] || die "usage: linux-usb-rig.sh start MODEL [VKEY OPTIONS]"
    start "$@"
    ;;
  run)
    [ $# -ge 1 ] || die "usage: linux-usb-rig.sh run COMMAND..."
    [ -S "$state/agent.sock" ] || die "not started"
    in_guest "$@"
    ;;
  key)
    [ $# -ge 1 ] || die "usage: linux-usb-rig.sh key MODEL [VKEY OPTIONS]"
    swap_key "$@"
    ;;
  running) running ;;
  logs)
    for log in console vkey emulator; do
      echo "--- $log.log (last ${1:-40} lines)"
      tail -n "${1:-40}" "$state/$log.log" 2>/dev/null || echo "(none)"
    done
    echo "--- the guest's requests, when each began and ended (last ${1:-40})"
    # A guest that is gone would only make the agent's client wait out its time.
    if running; then
      KELVORA_RIG_TIMEOUT=10 in_guest tail -n "${1:-40}" /tmp/.rig.log 2>&1 || true
    else
      echo "(no guest running)"
    fi
    ;;
  plug) signal_key USR2 present ;;
  unplug) signal_key USR1 absent ;;
  stop) stop ;;
  *) die "usage: linux-usb-rig.sh start|key|run|plug|unplug|running|logs|stop ..." ;;
esac
