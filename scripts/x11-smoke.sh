#!/usr/bin/env bash
# The tool on a real X server (Xvfb), once under a small window manager (twm) and once without
# any, driven with real input events (xdotool): the virtual key's panel before and after a
# dialog, an enrolment, an unplug and a plug-in, and a second start. Each state is checked on
# screenshots: it must look as the first time it was reached, and unlike the state the last
# click left.
#   scripts/x11-smoke.sh [BUILD_DIR]            (default build/default)
set -euo pipefail
cd "$(dirname "$0")/.."

build="${1:-build/default}"
app="$build/app/kelvora-fido2-manager"
shot="python3 scripts/x11_shot.py"
[ -x "$app" ] || { echo "x11-smoke: $app missing (build first)" >&2; exit 1; }

work=$(mktemp -d)
mode=""
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# shellcheck source=scripts/lib/xvfb.sh
. scripts/lib/xvfb.sh  # the scripts run from the repository root
start_xvfb "$work" x11-smoke
export LC_ALL=C.UTF-8
unset KELVORA_VKEY

fail() {
  echo "x11-smoke ($mode): $*" >&2
  sed 's/^/  tool: /' "$work/app.log" >&2 2>/dev/null || true
  exit 1
}

# Waits up to 10 s for a command to succeed.
await() {
  for _ in $(seq 100); do "$@" >/dev/null 2>&1 && return 0; sleep 0.1; done
  return 1
}

# The tool's visible windows other than the panel, the main window first.
tool_windows() {
  xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null | grep -v "^${panel:-none}\$" |
    sort -n
}
count_is() { [ "$(tool_windows | wc -l)" -eq "$1" ]; }
dialog() { tool_windows | grep -v "^${main}\$" | head -1; }

# Window geometry as X Y W H.
geometry() {
  local X Y WIDTH HEIGHT WINDOW SCREEN
  eval "$(xdotool getwindowgeometry --shell "$1")"
  echo "$X $Y $WIDTH $HEIGHT"
}

click() {  # window x y, relative to the window
  xdotool mousemove --window "$1" "$2" "$3" click 1
  sleep 0.3
}

# Takes a rectangle of a window (x y w h inside it) as state $2. The first picture of a state
# is its reference for the rest of the run; every later one must match it, and it must differ
# from the states named in $7 (which it would equal had the click not been taken). Looks
# again for up to 5 s, as the tool takes its time to follow the key.
expect_state() {
  local window=$1 name=$2 x=$3 y=$4 w=$5 h=$6 unlike=${7:-} other problem
  for _ in $(seq 25); do
    sleep 0.2
    xwd -id "$window" -silent >"$work/window.xwd"
    $shot grab "$work/window.xwd" "$x" "$y" "$w" "$h" "$work/now.png"
    problem=""
    if [ -f "$work/$name.png" ] && ! $shot same "$work/now.png" "$work/$name.png" >/dev/null; then
      problem="does not look as before"
    fi
    for other in $unlike; do
      if [ -f "$work/$other.png" ] && $shot same "$work/now.png" "$work/$other.png" >/dev/null; then
        problem="looks like $other"
      fi
    done
    [ -z "$problem" ] && break
  done
  if [ -n "$problem" ]; then
    cp "$work/now.png" "$build/x11-$mode-$name.png" 2>/dev/null || true
    fail "state $name $problem (see $build/x11-$mode-$name.png)"
  fi
  [ -f "$work/$name.png" ] || cp "$work/now.png" "$work/$name.png"
  echo "x11-smoke ($mode): $name"
}

# The status strip of the main window and its button column.
status() { expect_state "$main" "$1" 0 33 500 54 "${2:-}"; }
buttons() { expect_state "$main" "$1" 292 92 192 266 "${2:-}"; }

# The panel's controls, from its top left corner.
plug() { click "$panel" "$plug_x" "$plug_y"; }

run_once() {
  if [ "$mode" = twm ]; then
    # Xvfb has only its built-in "fixed" font; twm ends without a font it can open.
    printf '%s\n' 'RandomPlacement' 'UsePPosition "on"' 'NoTitle' 'TitleFont "fixed"' \
      'ResizeFont "fixed"' 'MenuFont "fixed"' 'IconFont "fixed"' 'IconManagerFont "fixed"' \
      >"$work/twmrc"
    twm -f "$work/twmrc" >"$work/twm.log" 2>&1 &
    wm=$!
    pids+=("$wm")
  fi
  "$app" --virtual 3 >"$work/app.log" 2>&1 &
  app_pid=$!
  pids+=("$app_pid")
  panel=""
  await xdotool search --onlyvisible --name "^Virtual key \(simulated\)\$" || fail "no panel"
  panel=$(xdotool search --onlyvisible --name "^Virtual key \(simulated\)\$" | head -1)
  await count_is 1 || fail "no main window"
  main=$(tool_windows | head -1)
  # "Unplug" / "Plug in", the first button of the panel's USB group.
  plug_x=120
  plug_y=236

  status key
  buttons empty

  # The panel before any dialog.
  plug; status no_key key
  plug; status key no_key

  # A dialog (help), closed with its OK button; the panel must still react afterwards.
  click "$main" 388 457
  await count_is 2 || fail "the help box did not open"
  box=$(dialog)
  read -r _ _ bw bh < <(geometry "$box")
  click "$box" $((bw - 63)) $((bh - 32))
  await count_is 1 || fail "the help box did not close"
  plug; status no_key key
  plug; status key no_key

  # An enrolment on the new key: fingerprints only, the key touches itself.
  click "$main" 388 113
  await count_is 2 || fail "the verify-mode window did not open"
  mode_window=$(dialog)
  click "$mode_window" 130 203
  for _ in $(seq 150); do count_is 1 && break; sleep 0.1; done
  count_is 1 || fail "the enrolment did not end"
  buttons enrolled empty
  plug; status no_key key
  plug; status key no_key
  buttons enrolled empty

  if [ "$mode" = twm ]; then
    kill -0 "$wm" 2>/dev/null || { sed "s/^/  twm: /" "$work/twm.log" >&2; fail "twm ended"; }
  fi

  # A second start says so and leaves this one running.
  local said
  said=$("$app" --virtual 3 2>&1) || fail "the second start failed"
  [ "$(printf '%s\n' "$said" | wc -l)" -eq 1 ] && [[ "$said" == *"already running"* ]] ||
    fail "the second start said: $said"
  sleep 0.5
  kill "$app_pid" 2>/dev/null || fail "the first copy ended"
  wait "$app_pid" 2>/dev/null || true
  if [ "$mode" = twm ]; then
    kill "$wm"
    wait "$wm" 2>/dev/null || true
  fi
}

for mode in twm none; do
  rm -f "$work"/*.png
  run_once
done
echo "x11-smoke: passed"
