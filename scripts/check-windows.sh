#!/usr/bin/env bash
# Keeps the Windows implementations of the platform seams compiling: every *_win.cpp is
# compiled (not linked: there are no Windows builds of mbed TLS or Qt here) with the
# mingw-w64 cross compiler against the project's headers.
set -euo pipefail
cd "$(dirname "$0")/.."
cxx=x86_64-w64-mingw32-g++
command -v "$cxx" >/dev/null || { echo "check-windows: $cxx missing (run scripts/setup.sh)" >&2; exit 1; }
mapfile -t sources < <(git ls-files -co --exclude-standard '*_win.cpp' | sort)
if [ ${#sources[@]} -eq 0 ]; then
  echo "check-windows: no Windows sources yet"
  exit 0
fi
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
failed=0
for src in "${sources[@]}"; do
  # mbed TLS headers are plain C and portable; the include path lets seams use them.
  if "$cxx" -std=c++20 -Wall -Wextra -Wpedantic -Werror -DUNICODE -D_UNICODE -I. \
       -idirafter /usr/include -c "$src" -o "$out/$(basename "$src").o"; then
    echo "check-windows: ok $src"
  else
    echo "check-windows: FAILED $src" >&2
    failed=$((failed + 1))
  fi
done
echo "check-windows: $(( ${#sources[@]} - failed )) passed, $failed failed"
[ "$failed" -eq 0 ]
