#!/usr/bin/env bash
# Adds the ZIP reader the skin package is read with, minizip, to the prefix of cross-built
# Windows libraries: its I/O layer and unzip.c (the writer is not built), compiled with
# mingw-w64 from the source package Debian's libminizip1 is built from, so that both systems
# read the skin with the same code. It has no build system for Windows; two files need none.
#
# Kept apart from scripts/windows-deps.sh so that the much larger Qt build there is not made
# again for it; a mark in the prefix, named after this script and the source version, says
# the reader in it is current.
#   scripts/windows/minizip-deps.sh PREFIX
set -euo pipefail
prefix=$1
cache=${KELVORA_WINDOWS_CACHE:-/var/cache/kelvora}
log() { echo "minizip-deps: $*" >&2; }

aptdir=$cache/apt # the private apt configuration scripts/windows-deps.sh wrote
apt_opts=(-o Dir::Etc::SourceList=/dev/null -o "Dir::Etc::SourceParts=$aptdir"
          -o "Dir::State::Lists=$aptdir/lists" -o "Dir::Cache=$aptdir/cache"
          -o APT::Sandbox::User=root -qq)
version=$(apt-cache "${apt_opts[@]}" showsrc --only-source minizip 2>/dev/null |
  awk '/^Version:/ {print $2}' | sort -V | tail -n 1)
[ -n "$version" ] || { log "no source package minizip in the index"; exit 1; }
mark=$prefix/.minizip-$( { echo "$version"; cat "$0"; dpkg-query -W g++-mingw-w64-x86-64-posix; } |
  sha256sum | cut -c1-16)
if [ -f "$mark" ]; then
  log "current, reused"
  exit 0
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
log "building minizip $version"
(cd "$work" && apt-get "${apt_opts[@]}" source --download-only minizip >&2)
dpkg-source --skip-patches -x "$work"/*.dsc "$work/src" >&2
if [ -f "$work/src/debian/patches/series" ]; then
  # Debian's security fixes only (its patch names are in either case).
  { grep -iE '^cve-' "$work/src/debian/patches/series" || true; } | while read -r patch; do
    log "applying $patch"
    patch -d "$work/src" -p1 -s <"$work/src/debian/patches/$patch"
  done
fi
for c in ioapi unzip; do
  x86_64-w64-mingw32-gcc-posix -O2 -I"$prefix/include" -c "$work/src/$c.c" -o "$work/$c.o"
done
x86_64-w64-mingw32-gcc-ar-posix rcs "$work/libminizip.a" "$work/ioapi.o" "$work/unzip.o"
install -D -m 644 "$work/libminizip.a" "$prefix/lib/libminizip.a"
install -D -m 644 -t "$prefix/include/minizip" "$work/src/unzip.h" "$work/src/ioapi.h"
rm -f "$prefix"/.minizip-*
touch "$mark"
