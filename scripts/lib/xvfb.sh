# Sourced by the scripts that need a real X server. start_xvfb WORK NAME starts Xvfb on a
# free display (it writes the number once it accepts clients), adds its pid to the caller's
# `pids` array, and exports DISPLAY, QT_QPA_PLATFORM=xcb and XDG_RUNTIME_DIR=WORK.
start_xvfb() {
  local work=$1 name=$2
  Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
  [ -s "$work/display" ] || { echo "$name: Xvfb did not start" >&2; exit 1; }
  export DISPLAY=":$(head -1 "$work/display")" QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$work"
}
