#!/usr/bin/env bash
# Cross-builds the libraries the Windows executables link statically (Qt Core/Gui/Widgets/Test,
# mbed TLS, zlib, libzip, GoogleTest) from Debian's own source packages, with mingw-w64.
#
# The result lands in a cache folder outside the clone, named after everything that shapes it
# (the source package versions, the compiler, the Windows headers, the host Qt whose tools
# the cross-built Qt uses, and this recipe), and is reused while it is complete. An interrupted
# run leaves its build trees behind and the next run carries on from them. The last line
# printed is the prefix; `--print-prefix` only prints it (and fails when it is not built).
#
#   KELVORA_WINDOWS_CACHE   cache root (default /var/cache/kelvora)
#   KELVORA_WINDOWS_JOBS    parallel build jobs (default: all cores)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
recipe=$root/scripts/windows
toolchain=$root/cmake/toolchains/mingw-w64.cmake
cache=${KELVORA_WINDOWS_CACHE:-/var/cache/kelvora}
jobs=${KELVORA_WINDOWS_JOBS:-$(nproc)}
sources=(qt6-base mbedtls zlib libzip googletest)

log() { echo "windows-deps: $*" >&2; }
mkdir -p "$cache"

# --- Debian sources, through a private apt configuration (the machine's sources stay as they are)
aptdir=$cache/apt
mkdir -p "$aptdir/lists/partial" "$aptdir/cache/archives/partial"
cat >"$aptdir/debian-src.sources" <<'EOF'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
apt_opts=(-o Dir::Etc::SourceList=/dev/null -o "Dir::Etc::SourceParts=$aptdir"
          -o "Dir::State::Lists=$aptdir/lists" -o "Dir::Cache=$aptdir/cache"
          -o APT::Sandbox::User=root -qq)

source_version() { # the version `apt-get source` picks: the highest one listed
  apt-cache "${apt_opts[@]}" showsrc --only-source "$1" 2>/dev/null |
    awk '/^Version:/ {print $2}' | sort -V | tail -n 1
}

key_material() {
  for p in "${sources[@]}"; do echo "$p $(source_version "$p")"; done
  dpkg-query -W g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev qt6-base-dev libwine-dev
  cat "$0" "$toolchain" "$recipe/wintab.h"
}

apt-get "${apt_opts[@]}" update || log "could not refresh Debian's source index; using the last one read"
for p in "${sources[@]}"; do
  [ -n "$(source_version "$p")" ] || { log "no source package $p in the index"; exit 1; }
done
hash=$(key_material | sha256sum | cut -c1-16)
prefix=$cache/windows-deps-$hash
work=$cache/work-$hash

if [ "${1:-}" = --print-prefix ]; then
  [ -f "$prefix/.complete" ] || { log "not built yet: run scripts/windows-deps.sh"; exit 1; }
  echo "$prefix"
  exit 0
fi
if [ -f "$prefix/.complete" ]; then
  log "complete, reused"
  echo "$prefix"
  exit 0
fi

exec 9>"$cache/.lock-$hash"
flock 9 # a second run waits for the first rather than building into the same folders
if [ -f "$prefix/.complete" ]; then echo "$prefix"; exit 0; fi

mkdir -p "$work" "$prefix"
export KELVORA_WINDOWS_DEPS=$prefix
started=$(date +%s)

# Unpacks a source package once, with Debian's security fixes (cve-*) applied and its
# packaging-only patches left out. The folder is complete only once `.unpacked` exists.
unpack() {
  local pkg=$1 dir=$work/src/$1
  if [ -f "$dir/.unpacked" ]; then return; fi
  rm -rf "$dir" "$work/dl-$pkg"
  mkdir -p "$work/dl-$pkg" "$work/src"
  (cd "$work/dl-$pkg" && apt-get "${apt_opts[@]}" source --download-only "$pkg" >&2)
  dpkg-source --skip-patches -x "$work/dl-$pkg"/*.dsc "$dir" >&2
  if [ -f "$dir/debian/patches/series" ]; then
    { grep -E '^cve-' "$dir/debian/patches/series" || true; } | while read -r patch; do
      log "$pkg: applying $patch"
      patch -d "$dir" -p1 -s <"$dir/debian/patches/$patch"
    done
  fi
  rm -rf "$work/dl-$pkg" "$work/src/$pkg"_*
  touch "$dir/.unpacked"
}

# Configures (once), builds and installs one CMake project into the prefix.
cmake_build() {
  local name=$1 src=$2; shift 2
  local build=$work/build/$name
  if [ -f "$build/.installed" ]; then return; fi
  log "$name: building"
  if [ ! -f "$build/build.ninja" ]; then
    cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_INSTALL_PREFIX="$prefix" "$@" >&2
  fi
  cmake --build "$build" -j "$jobs" >&2
  cmake --install "$build" >&2
  touch "$build/.installed"
}

for p in "${sources[@]}"; do unpack "$p"; done

# zlib: the static library only (Debian's source lacks the resource file its DLL needs).
if [ ! -f "$work/build/zlib/.installed" ]; then
  log "zlib: building"
  cmake -S "$work/src/zlib" -B "$work/build/zlib" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_INSTALL_PREFIX="$prefix" >&2
  cmake --build "$work/build/zlib" -j "$jobs" --target zlibstatic >&2
  install -D -m 644 "$work/build/zlib/libzlibstatic.a" "$prefix/lib/libz.a"
  install -D -m 644 -t "$prefix/include" "$work/src/zlib/zlib.h" "$work/build/zlib/zconf.h"
  touch "$work/build/zlib/.installed"
fi

cmake_build mbedtls "$work/src/mbedtls" -DENABLE_TESTING=OFF -DENABLE_PROGRAMS=OFF \
  -DUSE_STATIC_MBEDTLS_LIBRARY=ON -DUSE_SHARED_MBEDTLS_LIBRARY=OFF -DMBEDTLS_FATAL_WARNINGS=OFF

cmake_build libzip "$work/src/libzip" -DBUILD_SHARED_LIBS=OFF -DBUILD_TOOLS=OFF \
  -DBUILD_REGRESS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_DOC=OFF -DENABLE_COMMONCRYPTO=OFF \
  -DENABLE_GNUTLS=OFF -DENABLE_MBEDTLS=OFF -DENABLE_OPENSSL=OFF -DENABLE_WINDOWS_CRYPTO=ON \
  -DENABLE_BZIP2=OFF -DENABLE_LZMA=OFF -DENABLE_ZSTD=OFF

cmake_build googletest "$work/src/googletest" -Dgtest_disable_pthreads=OFF -DBUILD_GMOCK=ON

# Qt: the windows platform plugin includes wintab.h, which Debian's source leaves out.
qt_src=$work/src/qt6-base
if [ ! -f "$qt_src/src/3rdparty/wintab/pktdef.h" ]; then
  mkdir -p "$qt_src/src/3rdparty/wintab"
  cp /usr/include/wine/wine/windows/wintab.h "$qt_src/src/3rdparty/wintab/wine_wintab.h"
  cp /usr/include/wine/wine/windows/pktdef.h "$qt_src/src/3rdparty/wintab/pktdef.h"
  cp "$recipe/wintab.h" "$qt_src/src/3rdparty/wintab/wintab.h"
fi
qt_build=$work/build/qt6-base
if [ ! -f "$qt_build/.installed" ]; then
  log "qt6-base: building (about half an hour on two cores)"
  mkdir -p "$qt_build"
  if [ ! -f "$qt_build/build.ninja" ]; then
    (cd "$qt_build" && "$qt_src/configure" -prefix "$prefix" -xplatform win32-g++ \
      -static -static-runtime -release -nomake tests -nomake examples \
      -no-opengl -no-dbus -no-icu -no-zstd -no-pkg-config -no-feature-sql \
      -no-feature-network -no-feature-printsupport -no-feature-concurrent \
      -no-feature-direct2d1_1 -qt-zlib -qt-libpng -no-libjpeg -qt-freetype -qt-harfbuzz \
      -qt-pcre -qt-doubleconversion -- -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
      -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake >&2)
  fi
  cmake --build "$qt_build" -j "$jobs" >&2
  cmake --install "$qt_build" >&2
  touch "$qt_build/.installed"
fi

touch "$prefix/.complete"
log "built in $(( $(date +%s) - started )) s"
# Only the newest prefix is kept; its build trees are not needed once it is complete.
rm -rf "$work"
for old in "$cache"/windows-deps-* "$cache"/work-*; do
  case $old in "$prefix" | "$work") ;; *) rm -rf "$old" ;; esac
done
echo "$prefix"
