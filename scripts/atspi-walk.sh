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

# shellcheck source=scripts/lib/xvfb.sh
. scripts/lib/xvfb.sh  # the scripts run from the repository root
start_xvfb "$work" atspi-walk
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
