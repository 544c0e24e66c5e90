#!/usr/bin/env bash
# The tool on the real accessibility bus: Xvfb, a private D-Bus session with the AT-SPI bus,
# the tool on its virtual key, and scripts/atspi_walk.py walking and operating its windows
# as a screen reader would.
#   scripts/atspi-walk.sh [BUILD_DIR]            (default build/default)
set -euo pipefail
cd "$(dirname "$0")/.."

build="${1:-build/default}"
app="$build/app/kelvora-fido2-manager"
[ -x "$app" ] || { echo "atspi-walk: $app missing (build first)" >&2; exit 1; }

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "atspi-walk: Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(head -1 "$work/display")" QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$work"
export LC_ALL=C.UTF-8 NO_AT_BRIDGE=0 QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1
unset KELVORA_VKEY

# Inside its own session bus: the accessibility bus comes up on the first client's request.
dbus-run-session -- bash -c '
  set -euo pipefail
  /usr/libexec/at-spi-bus-launcher --launch-immediately >"$0/bus.log" 2>&1 &
  bus=$!
  "$1" --virtual 3 >"$0/app.log" 2>&1 &
  app=$!
  status=0
  timeout 180 /usr/bin/python3 scripts/atspi_walk.py || status=$?
  kill "$app" "$bus" 2>/dev/null || true
  wait 2>/dev/null || true
  if [ "$status" -ne 0 ]; then sed "s/^/  tool: /" "$0/app.log" >&2; fi
  exit "$status"
' "$work" "$app"
