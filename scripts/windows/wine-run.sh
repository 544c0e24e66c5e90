#!/usr/bin/env bash
# Runs a Windows program under Wine the way the tests need it: a private prefix, prepared once,
# that can neither hang on a crash dialog nor pass a crash as success.
#   wine-run.sh PROGRAM.exe [ARGS...]
#   KELVORA_WINEPREFIX    the prefix (default ~/.cache/kelvora/wineprefix)
#   KELVORA_WINE_TIMEOUT  seconds before the program is killed (default 600)
#   KELVORA_WINE_EXPECT   a text the output must contain (a program's own success line), so that
#                         a process that died without saying so is a failure whatever its status
#   KELVORA_WINE_DISPLAY  an X display to give Wine (default none); the shell's own links, for
#                         one, are written only where Wine has a desktop
#   KELVORA_WINE_DETACH   a log file: start the program in the background with its output
#                         there, print its process id and return (a server for other runs)
#   KELVORA_WINE_LOG      a file that holds the program's output while it runs, for a caller
#                         that acts on what the program has said so far
set -uo pipefail
wine=${KELVORA_WINE:-/usr/lib/wine/wine64}
export WINEPREFIX=${KELVORA_WINEPREFIX:-$HOME/.cache/kelvora/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
# The tool's users run Japanese Windows: ANSI code page 932, Japanese user interface. The
# Japanese locale is built for Wine alone, inside the prefix: without it on the Linux side
# Wine would still choose code page 932, but could not write a file whose name is not ASCII.
# No display: a fatal error's message box or a debugger window would wait for a click for
# ever. (Unset, not empty: with an empty DISPLAY every start waits half a minute for a
# desktop that never comes.)
locale_dir=$WINEPREFIX/.kelvora-locale
japanese=(env -u DISPLAY LOCPATH="$locale_dir" LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8)
if [ -n "${KELVORA_WINE_DISPLAY:-}" ]; then
  japanese=(env DISPLAY="$KELVORA_WINE_DISPLAY" LOCPATH="$locale_dir" LANG=ja_JP.UTF-8
            LC_ALL=ja_JP.UTF-8)
fi
# No Mono or Gecko: nothing here uses them, and their installers would want the network.
export WINEDLLOVERRIDES="mscoree=;mshtml="
[ -x "$wine" ] || { echo "wine-run: $wine missing (run scripts/setup.sh)" >&2; exit 2; }
[ $# -ge 1 ] || { echo "usage: wine-run.sh PROGRAM.exe [ARGS...]" >&2; exit 2; }

prepare_prefix() {
  if [ -f "$WINEPREFIX/.kelvora-ready" ]; then return; fi
  mkdir -p "$(dirname "$WINEPREFIX")"
  exec 8>"$WINEPREFIX.lock"
  flock 8
  if [ -f "$WINEPREFIX/.kelvora-ready" ]; then exec 8>&-; return; fi
  rm -rf "$WINEPREFIX"
  mkdir -p "$locale_dir"
  localedef -i ja_JP -f UTF-8 "$locale_dir/ja_JP.UTF-8" ||
    { echo "wine-run: no Japanese locale (run scripts/setup.sh)" >&2; exit 2; }
  "${japanese[@]}" "$wine" wineboot --init >/dev/null 2>&1
  local reg=("$wine" reg add)
  # A crash ends the process with a failure status instead of starting a debugger that waits.
  "${reg[@]}" 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger \
    /d 'kelvora-no-debugger.exe' /f >/dev/null 2>&1
  "${reg[@]}" 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Auto /d 1 /f \
    >/dev/null 2>&1
  # Wine passes no QT_* variable from Linux; the offscreen platform's font folder is set here.
  "${reg[@]}" 'HKCU\Environment' /v QT_QPA_FONTDIR /d 'Z:\usr\share\fonts\opentype\noto' /f \
    >/dev/null 2>&1
  "$(dirname "$wine")/wineserver64" -w 2>/dev/null || true
  touch "$WINEPREFIX/.kelvora-ready"
  # Closed, not only unlocked: Wine's server would inherit it and hold the lock for ever.
  exec 8>&-
}
prepare_prefix
# Wine opens a file without the execute bit through the shell's file associations instead of
# running it (the installer writes its programs so, and makensis its output).
if [ -f "$1" ] && [ ! -x "$1" ]; then chmod +x "$1"; fi
# One server for a series of runs: each new one would boot the prefix's services again.
"${japanese[@]}" "$(dirname "$wine")/wineserver64" -p30 </dev/null >/dev/null 2>&1 || true

if [ -n "${KELVORA_WINE_DETACH:-}" ]; then
  setsid "${japanese[@]}" "$wine" "$@" </dev/null >"$KELVORA_WINE_DETACH" 2>&1 &
  echo $!
  exit 0
fi

# The output goes to a file, not a pipe: the server and the services Wine starts inherit
# the program's output and outlive it, and a reader of a pipe would wait for them.
if [ -n "${KELVORA_WINE_LOG:-}" ]; then
  out=$KELVORA_WINE_LOG
  : >"$out"
else
  out=$(mktemp)
  trap 'rm -f "$out"' EXIT
fi
timeout -s KILL "${KELVORA_WINE_TIMEOUT:-600}" "${japanese[@]}" "$wine" "$@" >"$out" 2>&1
status=$?
cat "$out"
if [ "$status" -eq 0 ] && [ -n "${KELVORA_WINE_EXPECT:-}" ] &&
   ! grep -qF -- "$KELVORA_WINE_EXPECT" "$out"; then
  echo "wine-run: exit 0 without \"$KELVORA_WINE_EXPECT\": the program did not finish" >&2
  status=99
fi
exit "$status"
