#!/bin/sh
# rig-key present|absent PRODUCT [SECONDS]: waits until a hidraw node of the maker's key with
# PRODUCT (four hex digits) is there, and udev has finished with it, or until none is.
want=$1
product=$(echo "$2" | tr a-f A-F)
seconds=${3:-20}
present() {
  for uevent in /sys/class/hidraw/hidraw*/device/uevent; do
    grep -qi "^HID_ID=0003:00004B56:0000$product\$" "$uevent" 2>/dev/null &&
      [ -e "/dev/$(basename "$(dirname "$(dirname "$uevent")")")" ] && return 0
  done
  return 1
}
tries=$((seconds * 20))
while [ "$tries" -gt 0 ]; do
  if [ "$want" = present ] && present; then udevadm settle -t 10; exit 0; fi
  if [ "$want" = absent ] && ! present; then udevadm settle -t 10; exit 0; fi
  usleep 50000
  tries=$((tries - 1))
done
echo "rig-key: the key $product is not $want after $seconds s" >&2
exit 1
