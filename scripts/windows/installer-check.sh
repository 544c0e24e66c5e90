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
reg_has() { WINEPREFIX=$KELVORA_WINEPREFIX WINEDEBUG=-all "$wine" reg query "$1" /reg:64 >/dev/null 2>&1; }
settle() { WINEPREFIX=$KELVORA_WINEPREFIX "$wine" wineserver -w; }

"$wine_run" "$setup" /S
settle
for f in kelvora-fido2-manager.exe kelvora-fido2.exe uninstall.exe; do
  [ -f "$dir/$f" ] || fail "$f was not installed"
done
[ -f "$link" ] || fail "no Start-menu entry"
reg_has "$key" || fail "no entry in Programs and Features"
echo "installer-check: installed $(du -sh "$dir" | cut -f1) in Program Files, with its menu and uninstall entries"

KELVORA_WINE_EXPECT=kelvora-fido2 "$wine_run" "$dir/kelvora-fido2.exe" --version
shots=$(mktemp -d)
trap 'rm -rf "$shots"' EXIT
KELVORA_WINE_EXPECT=wrote "$wine_run" "$dir/kelvora-fido2-manager.exe" --virtual 3 \
  --screenshots "$shots" 2>&1 | tail -n 1
settle

"$wine_run" "$dir/uninstall.exe" /S
settle # the uninstaller finishes from a copy of itself in the temporary folder
[ ! -e "$dir" ] || fail "left behind: $(ls -A "$dir")"
[ ! -e "$link" ] || fail "the Start-menu entry was left behind"
! reg_has "$key" || fail "the Programs and Features entry was left behind"
echo "installer-check: uninstalled without a trace"
