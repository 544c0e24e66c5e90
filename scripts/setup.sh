#!/usr/bin/env bash
# Installs every Debian package the project needs to build, test, fuzz and benchmark.
# Idempotent: packages already present are not fetched again, and the package lists are
# refreshed only when something is missing.
set -euo pipefail

packages=(
  # toolchain
  build-essential cmake ninja-build pkg-config clang clang-format clang-tidy libclang-rt-14-dev
  # a compiler cache shared by every clone and preset on the machine
  ccache
  # core libraries
  libmbedtls-dev libudev-dev
  # the command line's JSON output (header only)
  nlohmann-json3-dev
  # GUI: Qt 6 Widgets (with D-Bus), the skin package reader (minizip: zlib only, no TLS
  # library), a font for the Japanese texts, fontconfig (loaded ahead at start-up)
  qt6-base-dev libminizip-dev fonts-noto-cjk libfontconfig-dev
  # tests and benchmarks
  libgtest-dev libgmock-dev googletest libbenchmark-dev python3 python3-cryptography
  # the benchmarks' instruction counts and chart
  valgrind gnuplot-nox
  # the tool on a real X server: the server, a small window manager (twm: openbox would bring
  # fonts that change the tool's fallback fonts), real input events, screen dumps
  xvfb twm xdotool x11-apps
  # the tool on the accessibility bus, read as a screen reader reads it
  dbus at-spi2-core python3-pyatspi gir1.2-atspi-2.0
  # independent FIDO clients for interoperability tests
  python3-fido2 libfido2-dev fido2-tools
  # the Windows build: mingw-w64 cross compilers, Debian's sources of the libraries
  # (dpkg-source unpacks them; Wine's wintab headers serve Qt's windows plugin), Wine to
  # run the programs and tests (with a Japanese locale built from Debian's locale sources),
  # NSIS for the installer, Pillow to compare screenshots
  g++-mingw-w64-x86-64 dpkg-dev xz-utils libwine-dev wine64 locales nsis python3-pil
  # the Debian package: manual pages, its checks, and reading the pages back
  help2man lintian desktop-file-utils appstream file man-db
  # the Linux key rig: a guest kernel behind QEMU's xHCI (the kernel, udev and fido2-tools
  # for the guest are downloaded and unpacked, never installed), the USB key emulator's
  # protocol library, the guest's shell and its initrd
  qemu-system-x86 libusbredirparser-dev busybox-static cpio kmod
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

# The compiler cache, outside every clone (CMake uses it when the folder exists).
ccache_dir=${KELVORA_CCACHE_DIR:-/var/cache/kelvora/ccache}
ensure_ccache_dir() {
  [ -d "$ccache_dir" ] && [ -f "$ccache_dir/ccache.conf" ] && return 0
  local s=""
  if [ "$(id -u)" -ne 0 ] && [ ! -w "$(dirname "$ccache_dir")" ]; then s="sudo"; fi
  $s mkdir -p "$ccache_dir"
  printf 'max_size = %s\nhash_dir = false\n' "${KELVORA_CCACHE_SIZE:-6G}" | $s tee "$ccache_dir/ccache.conf" >/dev/null
  [ "$(id -u)" -eq 0 ] || $s chown -R "$(id -u):$(id -g)" "$ccache_dir"
}

if [ ${#missing[@]} -eq 0 ]; then
  ensure_ccache_dir
  echo "setup: all ${#packages[@]} packages present"
  exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
ensure_ccache_dir
