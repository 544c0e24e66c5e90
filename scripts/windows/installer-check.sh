#!/usr/bin/env bash
# Builds the Windows installer and tries it under Wine in a prefix of its own: a silent
# install puts both programs, the Start-menu entry and the Programs and Features entry in
# place, the installed programs run, and a silent uninstall leaves nothing of ours behind.
#   installer-check.sh WINDOWS_BUILD_DIR
set -euo pipefail
bin=$(cd "$1" && pwd)
wine_run=$(cd "$(dirname "$0")" && pwd)/wine-run.sh
cmake --build "$bin" --target installer
setup=$(ls "$bin"/kelvora-fido2-setup-*.exe)
export KELVORA_WINEPREFIX=$bin/installer-prefix
rm -rf "$KELVORA_WINEPREFIX" "$KELVORA_WINEPREFIX.lock"
wine=/usr/lib/wine/wine64
dir="$KELVORA_WINEPREFIX/drive_c/Program Files/Kelvora Fido2"
link="$KELVORA_WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Kelvora Fido2 管理ツール.lnk"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\KelvoraFido2'
fail() { echo "installer-check: $*" >&2; exit 1; }

# Wine writes shell links only with a desktop: the installer runs on a virtual X server.
work=$(mktemp -d)
xvfb=
cleanup() {
  # Wine's own processes go before the display they use.
  WINEPREFIX=$KELVORA_WINEPREFIX /usr/lib/wine/wineserver64 -k 2>/dev/null || true
  if [ -n "$xvfb" ]; then kill "$xvfb" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb did not start"
export KELVORA_WINE_DISPLAY=":$(head -1 "$work/display")"
reg_has() { WINEPREFIX=$KELVORA_WINEPREFIX WINEDEBUG=-all "$wine" reg query "$1" /reg:64 >/dev/null 2>&1; }
settle() { WINEPREFIX=$KELVORA_WINEPREFIX /usr/lib/wine/wineserver64 -w; }

# wait_for SECONDS COMMAND...: the installer and the uninstaller finish in processes of their
# own, after the one started here has returned.
wait_for() {
  local until=$(($(date +%s) + $1))
  shift
  until "$@"; do
    [ "$(date +%s)" -lt "$until" ] || return 1
    sleep 1
  done
}
installed() { [ -f "$dir/uninstall.exe" ] && reg_has "$key"; }
removed() { [ ! -e "$dir" ] && ! reg_has "$key"; }

"$wine_run" "$setup" /S
wait_for 120 installed || fail "no uninstaller or no entry in Programs and Features"
settle
for f in kelvora-fido2-manager.exe kelvora-fido2.exe; do
  [ -f "$dir/$f" ] || fail "$f was not installed"
done
[ -f "$link" ] || fail "no Start-menu entry"
echo "installer-check: installed $(du -sh "$dir" | cut -f1) in Program Files, with its Start-menu"\
  "and uninstall entries"

KELVORA_WINE_EXPECT=kelvora-fido2 "$wine_run" "$dir/kelvora-fido2.exe" --version
mkdir "$work/shots"
KELVORA_WINE_EXPECT=wrote "$wine_run" "$dir/kelvora-fido2-manager.exe" --virtual 3 \
  --screenshots "$work/shots" 2>&1 | tail -n 1
settle

"$wine_run" "$dir/uninstall.exe" /S
# The uninstaller finishes from a copy of itself in the temporary folder.
wait_for 120 removed || true
[ ! -e "$dir" ] || fail "left behind: $(ls -A "$dir")"
[ ! -e "$link" ] || fail "the Start-menu entry was left behind"
! reg_has "$key" || fail "the Programs and Features entry was left behind"
echo "installer-check: uninstalled without a trace"
