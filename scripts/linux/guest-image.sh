#!/usr/bin/env bash
# The Linux key rig's guest, built from Debian's own packages (downloaded and unpacked, never
# installed here): the kernel that linux-image-amd64 depends on with the USB and HID modules,
# busybox, udev (systemd-udevd and udevadm; systemd's seat rule, which hands "uaccess"
# devices to the seat's user), fido2-tools, and the guest's /init. Cached outside the clone
# in a folder named after a hash of every input, so it is built once per package version
# and per change of this folder's scripts. Prints that folder, which holds:
#   vmlinuz          the kernel
#   base.cpio.gz     the initrd's fixed part (scripts/linux/guest-layer.sh adds the project's
#                    programs and every library the guest's programs need, per run)
#   tree/            the same files unpacked, for finding their libraries
#   guest-image.sh [--print-dir]   (--print-dir: the folder's name only, built or not)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cache_root=${KELVORA_GUEST_CACHE:-/var/cache/kelvora}
modules=(usb-common usbcore xhci-hcd xhci-pci hid usbhid hid-generic)

kernel_package() {
  apt-cache depends linux-image-amd64 2>/dev/null |
    sed -n 's/^ *Depends: \(linux-image-[0-9].*\)$/\1/p' | head -1
}
kernel=$(kernel_package)
if [ -z "$kernel" ] && [ "$(id -u)" -eq 0 ]; then
  apt-get update -qq # a machine whose packages were all there may never have read the lists
  kernel=$(kernel_package)
fi
[ -n "$kernel" ] || { echo "guest-image: linux-image-amd64 names no kernel (apt-get update?)" >&2; exit 1; }
packages=("$kernel" busybox-static udev systemd fido2-tools)
inputs=$(
  # One look-up for all: each apt-cache start reads the whole package cache.
  apt-cache policy "${packages[@]}" | awk '/^[^ ].*:$/ { name = $1 } /Candidate:/ { print name, $2 }'
  echo "${modules[*]}"
  cat "$here/guest-image.sh" "$here"/guest/*
)
hash=$(sha256sum <<<"$inputs" | cut -c1-16)
dir=$cache_root/linux-guest-$hash
if [ "${1:-}" = --print-dir ]; then
  echo "$dir"
  exit 0
fi
if [ -f "$dir/base.cpio.gz" ]; then
  echo "$dir"
  exit 0
fi

mkdir -p "$cache_root"
work=$(mktemp -d "$cache_root/.linux-guest.XXXXXX")
trap 'rm -rf "$work"' EXIT
(cd "$work" && apt-get download -q "${packages[@]}" >/dev/null 2>&1) ||
  (cd "$work" && apt-get download "${packages[@]}" >&2)
unpack() { dpkg-deb -x "$(ls "$work"/"$1"_*.deb)" "$work/$1"; }
for p in "${packages[@]}"; do unpack "$p"; done

tree=$work/out/tree
mkdir -p "$tree"/{bin,sbin,etc,proc,sys,dev,run,tmp,root,home/user,usr/bin,usr/lib/udev/rules.d}
mkdir -p "$tree"/{lib/udev/rules.d,lib/systemd,lib/modules}
chmod 1777 "$tree/tmp"
cp "$work/busybox-static/bin/busybox" "$tree/bin/busybox"
for applet in $("$tree/bin/busybox" --list); do
  [ -e "$tree/bin/$applet" ] || ln -s busybox "$tree/bin/$applet"
done

version=${kernel#linux-image-}
kernel_tree=$work/$kernel
cp "$kernel_tree/boot/vmlinuz-$version" "$work/out/vmlinuz"
mkdir -p "$tree/lib/modules/$version"
for m in "${modules[@]}"; do
  file=$(find "$kernel_tree/lib/modules/$version" -name "$m.ko" | head -1)
  [ -n "$file" ] || { echo "guest-image: module $m not in $kernel" >&2; exit 1; }
  cp "$file" "$tree/lib/modules/$version/"
done
printf '%s\n' "${modules[@]}" >"$tree/etc/rig-modules"
echo "$version" >"$tree/etc/rig-kernel"

# udev as on a desktop, but only the rules that bear on the key: the defaults and the seat's
# access rule (systemd's own FIDO rule is left out, or no key would ever need the package's).
cp "$work/udev/bin/udevadm" "$tree/bin/udevadm"
ln -sf /bin/udevadm "$tree/lib/systemd/systemd-udevd"
cp "$work/udev/etc/udev/udev.conf" "$tree/etc/" 2>/dev/null || true
cp "$work/udev/lib/udev/rules.d/50-udev-default.rules" "$tree/lib/udev/rules.d/"
cp "$work/systemd/lib/udev/rules.d/73-seat-late.rules" "$tree/lib/udev/rules.d/"
cp "$work/fido2-tools/usr/bin/fido2-token" "$tree/usr/bin/"

cp "$here/guest/init" "$tree/init"
cp "$here/guest/agent.sh" "$tree/bin/rig-agent"
cp "$here/guest/key.sh" "$tree/bin/rig-key"
chmod 755 "$tree/init" "$tree/bin/rig-agent" "$tree/bin/rig-key"
printf 'root:x:0:0:root:/root:/bin/sh\nuser:x:1000:1000:user:/home/user:/bin/sh\n' >"$tree/etc/passwd"
printf 'root:x:0:\nuser:x:1000:\n' >"$tree/etc/group"
chown 1000:1000 "$tree/home/user"

(cd "$tree" && find . -print0 | sort -z | cpio --null -o -H newc --quiet) |
  gzip -1 >"$work/out/base.cpio.gz"
rm -rf "$dir"
mv "$work/out" "$dir"
echo "$dir"
