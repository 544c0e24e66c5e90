#!/usr/bin/env bash
# The initrd's per-run part, on top of guest-image.sh's fixed one: the project's Linux
# programs of BUILD_DIR (they change with every build), every shared library that they and
# the guest's own programs need (this machine's, as ldd finds them), glibc's converters for
# the tool's texts, and the package's udev rule (in /usr/share/kelvora, for the checks to
# install). Writes the whole initrd to OUT.
#   guest-layer.sh IMAGE_DIR BUILD_DIR OUT
set -euo pipefail
image=$1
build=$(cd "$2" && pwd)
out=$3
root=$(cd "$(dirname "$0")/../.." && pwd)
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT

programs=("$build/cli/kelvora-fido2")
[ -x "$build/tests/linux/rig/test_linux_rig" ] && programs+=("$build/tests/linux/rig/test_linux_rig")
mkdir -p "$stage/usr/bin" "$stage/usr/share/kelvora"
for p in "${programs[@]}"; do
  [ -x "$p" ] || { echo "guest-layer: $p missing (build it first)" >&2; exit 1; }
  # Their debugging sections would only make the initrd, and the guest's boot, slower.
  strip --strip-debug -o "$stage/usr/bin/$(basename "$p")" "$p"
done
cp "$root/packaging/70-kelvora-fido2.rules" "$stage/usr/share/kelvora/"

copy() { # copy HOST_PATH: at the same path in the guest
  mkdir -p "$stage$(dirname "$1")"
  [ -e "$stage$1" ] || cp -L "$1" "$stage$1"
}
elves=("${programs[@]}" "$image/tree/bin/udevadm" "$image/tree/usr/bin/fido2-token")
gconv=/usr/lib/x86_64-linux-gnu/gconv
for lib in CP932 UTF-16 UTF-32; do
  [ -e "$gconv/$lib.so" ] && copy "$gconv/$lib.so" && elves+=("$gconv/$lib.so")
done
for f in "$gconv"/gconv-modules "$gconv"/gconv-modules.cache "$gconv"/gconv-modules.d/*; do
  [ -e "$f" ] && copy "$f"
done
for elf in "${elves[@]}"; do
  needs=$(ldd "$elf")
  if grep -q 'not found' <<<"$needs"; then
    echo "guest-layer: $elf needs a library this machine lacks:" >&2
    grep 'not found' <<<"$needs" >&2
    exit 1
  fi
  awk '/=> \// { print $3 } /^\t\/.*\(0x/ { print $1 }' <<<"$needs"
done >"$stage/.libraries"
sort -u "$stage/.libraries" | while read -r lib; do copy "$lib"; done
rm "$stage/.libraries"

{
  cat "$image/base.cpio.gz"
  # The kernel takes the next archive only at a four-byte boundary; zeros between are skipped.
  head -c $(((4 - $(stat -c %s "$image/base.cpio.gz") % 4) % 4)) /dev/zero
  (cd "$stage" && find . -mindepth 1 -print0 | sort -z | cpio --null -o -H newc --quiet)
} >"$out.part"
mv "$out.part" "$out" # a start cut short leaves no half initrd for the next one to take
