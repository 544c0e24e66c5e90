#!/usr/bin/env bash
# Reads the hardening marks back from the shipped executables of one build folder and fails
# when one is missing: a compiler or linker flag that silently stopped applying (a new
# preset, a toolchain file, a library built without them) is caught here.
#   ELF: PIE, full RELRO (GNU_RELRO and BIND_NOW), the stack protector, fortified calls.
#   PE:  DYNAMIC_BASE, NX_COMPAT, HIGH_ENTROPY_VA and the stack protector.
# -fstack-clash-protection and -D_GLIBCXX_ASSERTIONS leave no mark an executable keeps, and
# -fcf-protection's IBT/SHSTK note survives the link only when every object has it, which
# the C library's start files on Debian do not: those three are not checked here.
#   scripts/hardening-check.sh build/default
set -euo pipefail
dir="${1:?usage: $0 BUILD_DIR}"
failed=0
checked=0

fail() {
  echo "hardening: $1: no $2" >&2
  failed=1
}

check_elf() {
  local exe="$1"
  # Each output is captured first: grep -q ends a pipe early, which pipefail calls a miss.
  local header segments dynamic symbols
  header="$(readelf -hW "$exe")"
  segments="$(readelf -lW "$exe")"
  dynamic="$(readelf -dW "$exe")"
  grep -q 'Type:[[:space:]]*DYN' <<<"$header" || fail "$exe" "PIE"
  grep -q 'GNU_RELRO' <<<"$segments" || fail "$exe" "RELRO segment"
  grep -Eq 'BIND_NOW|FLAGS.*[[:space:]]NOW' <<<"$dynamic" || fail "$exe" "BIND_NOW"
  symbols="$(readelf -sW --dyn-syms "$exe")"
  grep -q '__stack_chk_fail' <<<"$symbols" || fail "$exe" "stack protector"
  grep -Eq '__[a-z_]+_chk(@|[[:space:]]|$)' <<<"$symbols" || fail "$exe" "fortified calls"
}

check_pe() {
  local exe="$1" headers
  headers="$(x86_64-w64-mingw32-objdump -p "$exe")"
  for mark in DYNAMIC_BASE NX_COMPAT HIGH_ENTROPY_VA; do
    grep -q "$mark" <<<"$headers" || fail "$exe" "$mark"
  done
  local symbols
  symbols="$(x86_64-w64-mingw32-objdump -t "$exe")"
  grep -Eq '__stack_chk_(fail|guard)' <<<"$symbols" || fail "$exe" "stack protector"
}

for name in cli/kelvora-fido2 vkey/kelvora-vkey app/kelvora-fido2-manager; do
  for exe in "$dir/$name" "$dir/$name.exe"; do
    [ -f "$exe" ] || continue
    checked=$((checked + 1))
    case "$(head -c 2 "$exe" | od -An -c | tr -d ' ')" in
      177E) check_elf "$exe" ;;
      MZ) check_pe "$exe" ;;
      *) fail "$exe" "known executable format" ;;
    esac
  done
done
if [ "$checked" = 0 ]; then
  echo "hardening: no executable found in $dir" >&2
  exit 1
fi
[ "$failed" = 0 ] && echo "hardening: $checked executables in $dir carry every mark"
exit "$failed"
