#!/usr/bin/env bash
# The Windows stage: cross-builds the dependencies (cached outside the clone) and the tool,
# then, under Wine: every test program, the desktop tool's screenshot walk compared with the
# Linux one, the desktop tool's windows through UI Automation, the command line through a
# key's life, the same and the HID backend against keys behind Wine's own HID stack
# (scripts/windows/rig-checks.sh), and the installer's install, use and uninstall. Needs the
# default preset built (the Linux walk is the reference).
#   KELVORA_WINDOWS_SHOTS=DIR   also copy the pictures taken under Wine into DIR
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
wine_run=$root/scripts/windows/wine-run.sh
export KELVORA_WINEPREFIX=$root/build/windows/wineprefix

step() { echo "=== windows: $*"; }

step "dependencies"
KELVORA_WINDOWS_DEPS=$(./scripts/windows-deps.sh | tail -n 1)
export KELVORA_WINDOWS_DEPS
./scripts/windows/minizip-deps.sh "$KELVORA_WINDOWS_DEPS"

step "build"
./scripts/build.sh windows
./scripts/hardening-check.sh build/windows
bin=$root/build/windows

step "test programs under Wine"
ctest --preset windows -j "$(nproc)"
log=$bin/Testing/Temporary/LastTest.log
passed=$(grep -ao '\[  PASSED  \] [0-9]* test' "$log" | awk '{s += $4} END {print s + 0}')
echo "windows: $passed test cases passed under Wine"

step "screenshot walk"
[ -x build/default/app/kelvora-fido2-manager ] || ./scripts/build.sh default
shots=$(mktemp -d)
trap 'rm -rf "$shots"' EXIT
QT_QPA_PLATFORM=offscreen "$root/build/default/app/kelvora-fido2-manager" --virtual 3 \
  --screenshots "$shots/linux" 2>/dev/null
KELVORA_WINE_EXPECT=wrote "$wine_run" "$bin/app/kelvora-fido2-manager.exe" --virtual 3 \
  --screenshots "$shots/windows"
/usr/bin/python3 scripts/windows/compare-screenshots.py "$shots/linux" "$shots/windows"
if [ -n "${KELVORA_WINDOWS_SHOTS:-}" ]; then
  mkdir -p "$KELVORA_WINDOWS_SHOTS"
  cp "$shots/windows"/*.png "$KELVORA_WINDOWS_SHOTS"/
fi

step "the desktop tool through UI Automation"
./scripts/windows/uia-check.sh "$bin"

step "command line through a key's life"
./scripts/lib/cli-flow.sh "$bin/cli/kelvora-fido2.exe"

step "keys behind Wine's HID stack (no --virtual)"
./scripts/windows/rig-checks.sh "$bin"

step "installer"
./scripts/windows/installer-check.sh "$bin"
echo "windows: all checks passed"
