#!/usr/bin/env bash
# The desktop tool on keys behind Wine's own HID stack, in Wine's own windows on an X server,
# driven with real input events (xdotool), with no --virtual: the key found with its
# fingerprints, pictured as the Linux screenshot walk pictures it; pulled (the no-key state)
# and plugged in again; an enrolment clicked through to its end; a key pulled while the
# enrolment waits for a finger (the dialog closes, the no-key state, the tool still follows
# the keys); and, with two supported keys, the one earlier in the product list is used.
# Every wait has a hard limit; a state is checked on the window's picture.
#   rig-desktop.sh WINDOWS_BUILD_DIR LINUX_BUILD_DIR
#   KELVORA_WINE_DISPLAY  the X server the prefix's Wine server was started on (rig-checks.sh)
set -euo pipefail
bin=$(cd "$1" && pwd)
linux_app=$(cd "$2" && pwd)/app/kelvora-fido2-manager
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
wine_run=$here/wine-run.sh
rig=$here/hid-rig.sh
compare=$here/compare-screenshots.py
shot="python3 $root/scripts/x11_shot.py"
export DISPLAY=${KELVORA_WINE_DISPLAY:?rig-desktop.sh needs KELVORA_WINE_DISPLAY}
[ -x "$linux_app" ] || { echo "rig-desktop: $linux_app missing (build the default preset)" >&2; exit 1; }

work=$(mktemp -d)
app_pid=
wm=
cleanup() {
  if [ -n "$app_pid" ]; then kill -KILL "$app_pid" 2>/dev/null || true; fi
  if [ -n "$wm" ]; then kill "$wm" 2>/dev/null || true; fi
  "$rig" stop >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "rig-desktop: $*" >&2
  grep -av ':fixme:' "$work/app.log" 2>/dev/null | sed 's/^/  tool: /' >&2 || true
  [ -f "$work/now.png" ] && cp "$work/now.png" "$bin/rig-desktop-failure.png" &&
    echo "  the window as last seen: $bin/rig-desktop-failure.png" >&2
  exit 1
}
say() { echo "rig-desktop: $*"; }
ms_since() { echo $((($(date +%s%N) - $1) / 1000000)); }

# A window manager, as on every desktop: without one, Wine waits two seconds for one to
# acknowledge every window that is hidden, and each closing dialog would take that long.
# (Xvfb has only its built-in "fixed" font; twm ends without a font it can open.)
printf '%s\n' 'RandomPlacement' 'UsePPosition "on"' 'NoTitle' 'TitleFont "fixed"' \
  'ResizeFont "fixed"' 'MenuFont "fixed"' 'IconFont "fixed"' 'IconManagerFont "fixed"' \
  >"$work/twmrc"
twm -f "$work/twmrc" >"$work/twm.log" 2>&1 &
wm=$!

# The pictures the Linux walk draws of the states checked here; with a runtime folder of its
# own, so that a copy of the tool running elsewhere on the machine does not turn it away.
mkdir -m 700 "$work/run"
XDG_RUNTIME_DIR=$work/run QT_QPA_PLATFORM=offscreen timeout -s KILL 120 "$linux_app" \
  --virtual 3 --screenshots "$work/linux" >/dev/null 2>&1 && [ -f "$work/linux/main_no_key.png" ] ||
  fail "the Linux screenshot walk failed"
# A legacy model's blank key has no passkey button: its own picture (the walk's later
# windows, the passkey window among them, are not a legacy key's, so only the picture counts).
XDG_RUNTIME_DIR=$work/run QT_QPA_PLATFORM=offscreen timeout -s KILL 120 "$linux_app" \
  --virtual 1 --screenshots "$work/linux-legacy" >/dev/null 2>&1 || true
cp "$work/linux-legacy/main_with_key.png" "$work/linux/legacy_main_with_key.png" ||
  fail "the Linux screenshot walk of a legacy key drew no blank key"

tool_windows() {
  xdotool search --onlyvisible --class '^kelvora-fido2-manager\.exe$' 2>/dev/null | sort -n
}
count_is() { [ "$(tool_windows | wc -l)" -eq "$1" ]; }
await() { # await SECONDS COMMAND...: polls every 0.2 s
  local limit=$(($1 * 5))
  shift
  for _ in $(seq "$limit"); do "$@" >/dev/null 2>&1 && return 0; sleep 0.2; done
  return 1
}
# Clicks, then takes the pointer off every window, so that no hover shows in the pictures.
click() { xdotool mousemove --window "$1" "$2" "$3" click 1 mousemove 0 0; }
# Clicks a button that opens a window: once more if no window came within 10 s, as a person
# would (a click can be lost while Wine is still busy with the key's arrival; a second one on
# an owner a dialog has disabled does nothing).
click_opens() { # click_opens WINDOW X Y WHAT
  click "$1" "$2" "$3"
  await 10 count_is 2 && return 0
  say "$4: no window after 10 s; clicked again"
  click "$1" "$2" "$3"
  await 10 count_is 2 || fail "$4: the click opened no window"
}
# One window, and still one a second later (not the gap between two dialogs).
settled() { count_is 1 && sleep 1 && count_is 1; }

# The main window's picture now, as $work/now.png.
grab() {
  xwd -id "$main" -silent >"$work/window.xwd" 2>/dev/null &&
    $shot grab "$work/window.xwd" 0 0 "$width" "$height" "$work/now.png"
}
# True when the window looks as the Linux walk's picture NAME.
looks_like() {
  rm -rf "$work/a" "$work/b"
  mkdir -p "$work/a" "$work/b"
  grab && cp "$work/linux/$1.png" "$work/a/" && cp "$work/now.png" "$work/b/$1.png" &&
    /usr/bin/python3 "$compare" "$work/a" "$work/b" >"$work/compared"
}
expect_picture() { # expect_picture NAME SECONDS WHAT [SINCE]: SINCE a date +%s%N
  await "$2" looks_like "$1" ||
    fail "$3: the window does not look as the Linux picture $1.png ($(cat "$work/compared"))"
  local after=
  [ -n "${4:-}" ] && after=" after $(ms_since "$4") ms"
  say "$3$after: $(sed 's/^compare-screenshots: //' "$work/compared")"
}
# The same for a state first seen in this run, kept as $work/seen-NAME.png.
keep() { grab && cp "$work/now.png" "$work/seen-$1.png"; }
looks_as_kept() { grab && $shot same "$work/now.png" "$work/seen-$1.png"; }
unlike_kept() { grab && ! $shot same "$work/now.png" "$work/seen-$1.png"; }

# A blank key's state is replaced by three fingerprints, one of each stored form of name,
# the ones the Linux walk shows (the names' bytes in code page 932, hex).
cat >"$work/state" <<'EOF'
kelvora-vkey-state 1
pin -
pin-retries 8
fingerprint-retries 5
template 0 1 32303234303331353031333030308e7796e430
template 1 2 2d2d2d2d2d2d2d2d2d2d2d89458ee882cc906c8db782b58e77
template 2 3 46696e6765727072696e742032
EOF
timeout -s KILL 120 "$rig" start 3 --state "Z:${work//\//\\}\\state" --auto-touch 300 >/dev/null ||
  fail "the rig did not start"

started=$(date +%s%N)
KELVORA_WINE_DETACH=$work/app.log "$wine_run" "$bin/app/kelvora-fido2-manager.exe" \
  >"$work/app.pid"
app_pid=$(cat "$work/app.pid")
await 60 count_is 1 || fail "the main window did not appear within 60 s"
main=$(tool_windows | head -1)
WIDTH=0 HEIGHT=0
eval "$(xdotool getwindowgeometry --shell "$main")"
width=$WIDTH
height=$HEIGHT
expect_picture main_with_rows 30 "the key found with its fingerprints" "$started"

pulled=$(date +%s%N)
timeout -s KILL 60 "$rig" unplug >/dev/null || fail "unplugging failed"
expect_picture main_no_key 10 "pulled: the no-key state" "$pulled"
plugged=$(date +%s%N)
timeout -s KILL 60 "$rig" plug >/dev/null || fail "plugging failed"
expect_picture main_with_rows 10 "plugged in again: found" "$plugged"
keep three

# "指紋を追加": the key has fingerprints and no PIN, so a fingerprint check comes first; the
# key lays a finger on by itself for both.
click_opens "$main" 388 113 "the enrol button"
await 30 settled || fail "the enrolment did not end within 30 s"
listed=$(KELVORA_WINE_TIMEOUT=60 "$wine_run" "$bin/cli/kelvora-fido2.exe" --json fingerprints list |
  tr -d '\r')
grep -qF '"name":"指紋3"' <<<"$listed" || fail "the key does not hold the new fingerprint: $listed"
await 10 unlike_kept three || fail "the window does not show the new fingerprint"
keep four
say "enrolled by clicks: the key holds 指紋3 and the window lists it"

# Pulled while the enrolment waits for a finger: a blank key that lays on no finger by itself.
timeout -s KILL 60 "$rig" unplug >/dev/null || fail "unplugging failed"
timeout -s KILL 120 "$rig" add 1 3 >/dev/null || fail "adding a second key failed"
expect_picture main_with_key 10 "a blank key"
click_opens "$main" 388 113 "the enrol button"
# The verify-mode window: "fingerprints only" leads straight to the enrolment, whose own
# window replaces it and waits for a finger.
mode_window=$(tool_windows | tail -1)
click "$mode_window" 130 203
await 10 bash -c "xdotool search --onlyvisible --class '^kelvora-fido2-manager\.exe\$' |
  grep -qvx -e $main -e $mode_window" || fail "the enrolment dialog did not open"
sleep 2
count_is 2 || fail "the enrolment dialog did not stay open to wait for a finger"
pulled=$(date +%s%N)
timeout -s KILL 60 "$rig" unplug 1 >/dev/null || fail "unplugging failed"
await 10 count_is 1 || fail "the enrolment dialog stayed open after the key was pulled"
say "pulled while the enrolment waits for a finger: the dialog closed after $(ms_since "$pulled") ms"
expect_picture main_no_key 10 "and the main window in its no-key state" "$pulled"
timeout -s KILL 60 "$rig" plug >/dev/null || fail "plugging failed"
await 10 looks_as_kept four || fail "the first key plugged in again is not shown"
say "the tool still follows the keys: the first key found again"

# Two supported keys: a legacy model comes before model 3 in the product list.
timeout -s KILL 120 "$rig" add 2 1 >/dev/null || fail "adding a legacy key failed"
expect_picture legacy_main_with_key 10 "a blank legacy key added beside it: that one is used"

click "$main" 475 17
await 20 bash -c "! kill -0 $app_pid" || fail "the tool did not end when its window was closed"
app_pid=
grep -aq 'Unhandled exception\|wine: .*crash' "$work/app.log" && fail "the tool crashed"
say "closed: the tool ended"
