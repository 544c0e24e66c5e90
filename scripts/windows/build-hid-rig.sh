#!/usr/bin/env bash
# Builds the HID rig's driver and controller (tests/windows/hid_rig) with mingw-w64 alone:
# the driver against Wine's own kernel headers (mingw has no HID minidriver headers), the
# controller as an ordinary static Windows program. Needs neither the cross-built
# dependencies nor the windows preset.
#   build-hid-rig.sh OUTDIR
set -euo pipefail
out=${1:?usage: build-hid-rig.sh OUTDIR}
src=$(cd "$(dirname "$0")/../../tests/windows/hid_rig" && pwd)
gcc=x86_64-w64-mingw32-gcc
gcc_include=$(ls -d /usr/lib/gcc/x86_64-w64-mingw32/*-win32/include | head -n 1)
wine_include=/usr/include/wine/wine
mkdir -p "$out"
warnings=(-Wall -Wextra -Werror -Wno-missing-field-initializers)
if [ ! "$out/kelvora_rig.sys" -nt "$src/rig_driver.c" ]; then
  "$gcc" -O2 "${warnings[@]}" -nostdinc -I"$wine_include/windows" -I"$wine_include/msvcrt" \
    -I"$gcc_include" -ffreestanding -fno-builtin -mno-stack-arg-probe \
    -shared -nostdlib -Wl,--subsystem,native -Wl,--entry,DriverEntry \
    -o "$out/kelvora_rig.sys" "$src/rig_driver.c" -lntoskrnl -lhidclass -lgcc
fi
if [ ! "$out/kelvora-hid-rig.exe" -nt "$src/rig_control.c" ]; then
  "$gcc" -municode -O2 "${warnings[@]}" -static -o "$out/kelvora-hid-rig.exe" \
    "$src/rig_control.c" -lsetupapi -lnewdev -lhid
fi
