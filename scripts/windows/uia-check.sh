#!/usr/bin/env bash
# The desktop tool's windows through UI Automation under Wine, on the virtual key, along the
# flow a screen reader's user takes on a new key: the main window, the verify-mode window
# and the set-PIN dialog that the enrolment opens, the message that the PIN is set, the
# enrolment dialog, and the change-PIN dialog once the key has a PIN. Each must be a window
# that Qt's provider names with its own caption (the dialogs' title bar text is the tool's
# name). tests/windows/uia_check is the client.
#
# That is as far as Wine 8.0's uiautomationcore goes. Its COM client (CUIAutomation) is not
# registered (DllGetClassObject is a stub), nor are the pattern functions (UiaGetPatternProvider,
# InvokePattern_Invoke, ValuePattern_SetValue) or UiaNodeFromFocus; UiaGetPropertyValue has no
# BoundingRectangle or Is*PatternAvailable. Below a window nothing can be reached: Wine hands
# a child node out through a thread of its own that asks Qt's provider, in the tool's UI
# thread, for its runtime id while that thread waits for it, and UiaNavigate and UiaFind hang
# the tool for good. MSAA finds only oleacc's own object for the window (no UIA-to-MSAA bridge:
# UiaReturnRawElementProvider ignores OBJID_CLIENT). So the windows are opened by clicks, at
# the centres of the buttons in the skin's layouts.
#   uia-check.sh WINDOWS_BUILD_DIR
set -euo pipefail
bin=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
wine_run=$here/wine-run.sh
export KELVORA_WINEPREFIX=${KELVORA_WINEPREFIX:-$HOME/.cache/kelvora/wineprefix}
wineserver=/usr/lib/wine/wineserver64
fail() { echo "uia-check: $*" >&2; exit 1; }

checker=$bin/uia_check/kelvora-uia-check.exe
source=$here/../../tests/windows/uia_check/uia_check.c
if [ ! "$checker" -nt "$source" ]; then
  mkdir -p "$(dirname "$checker")"
  x86_64-w64-mingw32-gcc -municode -O2 -Wall -Wextra -Werror -static -o "$checker" "$source" \
    -lole32 -loleaut32
fi

work=$(mktemp -d)
pids=()
cleanup() {
  # Wine's own processes go before the display they use.
  WINEPREFIX=$KELVORA_WINEPREFIX "$wineserver" -k 2>/dev/null || true
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
# The windows need a desktop, which Wine makes only when its server starts with a display.
WINEPREFIX=$KELVORA_WINEPREFIX "$wineserver" -k 2>/dev/null || true
# shellcheck source=scripts/lib/xvfb.sh
. "$here/../lib/xvfb.sh"
start_xvfb "$work" uia-check
export KELVORA_WINE_DISPLAY=$DISPLAY

pids+=("$(KELVORA_WINE_DETACH=$work/tool.log "$wine_run" "$bin/app/kelvora-fido2-manager.exe" \
  --virtual 3)")
# The points are the centres of controls in the skin's layouts: main.xml's 指紋を追加 and
# PINを変更, VerifyMode.xml's picture of PIN或いは指紋, SetPIN.xml's two fields and OK, and
# MsgBox.xml's close button (counted from the right: the box is as wide as its text). The
# enrolment's wait for a finger is answered by the virtual key itself.
if ! KELVORA_WINE_TIMEOUT=240 KELVORA_WINE_EXPECT="uia-check: passed" "$wine_run" "$checker" \
  "Kelvora Fido2 管理ツール" "Kelvora FIDO2 管理ツール" \
  click:392,113 "認証モードオプション" \
  click:55,125 "PIN設定" \
  click:209,92 type:1234 click:209,144 type:1234 click:175,222 "Kelvora Fido2 管理ツール" \
  click:-25,17 "指紋を追加" \
  main click:392,245 "PIN変更" | tr -d '\r' | grep '^uia-check:'; then
  sed 's/^/  tool: /' "$work/tool.log" >&2
  fail "the tool's windows are not what UI Automation should find"
fi
