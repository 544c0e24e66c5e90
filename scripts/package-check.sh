#!/usr/bin/env bash
# Builds the Debian packages from the default build (the tool, and the virtual key on its
# own), installs them the way a user would (apt-get resolves their dependencies), tries what
# they installed, removes them again and checks that nothing they brought is left: their
# files, their folders, and packages pulled in for them. Needs root (or sudo) for apt-get;
# refuses to run while either package is already installed.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"

package=kelvora-fido2
vkey_package=kelvora-fido2-vkey
packages=("$package" "$vkey_package")
programs=(kelvora-fido2-manager kelvora-fido2 kelvora-vkey)
# Which package brings which program: a user's system gets the tools without the test daemon.
declare -A program_package=([kelvora-fido2-manager]=$package [kelvora-fido2]=$package
  [kelvora-vkey]=$vkey_package)
icon_sizes=(16 22 24 32 48 64 128 256 512)
metainfo=/usr/share/metainfo/example.kelvora.Fido2Manager.metainfo.xml
desktop=/usr/share/applications/kelvora-fido2-manager.desktop
rule=/usr/lib/udev/rules.d/70-kelvora-fido2.rules

apt=(env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 -y -q)
if [ "$(id -u)" -ne 0 ]; then apt=(sudo "${apt[@]}"); fi
failures=0
fail() {
  echo "package-check: FAIL: $*" >&2
  failures=$((failures + 1))
}
installed() { dpkg-query -W -f='${db:Status-Status}' "$1" 2>/dev/null | grep -qx installed; }
installed_packages() {
  dpkg-query -W -f='${db:Status-Status} ${Package}:${Architecture}\n' | awk '$1 == "installed" {print $2}' | sort
}

for p in "${packages[@]}"; do
  if installed "$p"; then
    echo "package-check: $p is installed already; remove it first" >&2
    exit 1
  fi
done

./scripts/build.sh default
build="$root/build/default"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
declare -A deb
rm -f "$build"/kelvora-fido2*_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
for p in "${packages[@]}"; do
  deb[$p]="$build/${p}_${version}_$(dpkg --print-architecture).deb"
  [ -f "${deb[$p]}" ] || { echo "package-check: cpack did not write ${deb[$p]}" >&2; exit 1; }
  echo "=== package-check: $(basename "${deb[$p]}")"
  dpkg-deb --field "${deb[$p]}" Package Version Architecture Depends
done
if dpkg-deb --field "${deb[$package]}" Depends Recommends | grep -qF "$vkey_package"; then
  echo "package-check: $package must not pull in $vkey_package" >&2
  exit 1
fi

work=$(mktemp -d)
installed_packages >"$work/before"
# Whatever happens, the machine ends as it was: the package and everything apt-get added for
# it are purged, then checked for.
cleanup() {
  local status=$?
  set +e
  echo "=== package-check: removing ${packages[*]}"
  installed_packages >"$work/after-install"
  comm -13 "$work/before" "$work/after-install" >"$work/added"
  printf '%s\n' "${packages[@]}" >>"$work/added"
  # shellcheck disable=SC2046
  "${apt[@]}" purge $(sort -u "$work/added") >/dev/null
  for p in "${packages[@]}"; do
    if dpkg-query -W -f='${db:Status-Abbrev}\n' "$p" 2>/dev/null | grep -qv '^.n'; then
      fail "$p is still known to dpkg after the purge"
    fi
  done
  installed_packages >"$work/after"
  if ! diff -u "$work/before" "$work/after"; then fail "the installed packages changed"; fi
  while IFS= read -r path; do
    if [ -e "$path" ] && [ ! -d "$path" ]; then
      fail "left behind: $path"
    elif [ -d "$path" ] && [ -z "$(ls -A "$path")" ] && ! dpkg -S "$path" >/dev/null 2>&1; then
      fail "left behind, empty and nobody's: $path"
    fi
  done <"$work/files"
  rm -rf "$work"
  if [ "$failures" -ne 0 ]; then
    echo "package-check: $failures failure(s)" >&2
    exit 1
  fi
  exit "$status"
}
: >"$work/files"
trap cleanup EXIT

echo "=== package-check: installing"
"${apt[@]}" install "${deb[@]}" >"$work/apt.log" || { cat "$work/apt.log"; fail "apt-get install"; exit 1; }
for p in "${packages[@]}"; do
  installed "$p" || { fail "$p is not installed"; exit 1; }
  dpkg -L "$p" >>"$work/files"
  # Minimal images tell dpkg to skip documentation (path-exclude); then the pages and the
  # change logs are read from the packages themselves.
  dpkg-deb -x "${deb[$p]}" "$work/unpacked"
done
installed_or_packaged() {
  if [ -e "$1" ]; then echo "$1"; else echo "$work/unpacked$1"; fi
}

echo "=== package-check: programs"
for program in "${programs[@]}"; do
  out=$("/usr/bin/$program" --version) || fail "$program --version exits $?"
  [ "$out" = "$program $version" ] || fail "$program --version printed '$out'"
  owner=$(dpkg -S "/usr/bin/$program" | cut -d: -f1)
  [ "$owner" = "${program_package[$program]}" ] ||
    fail "/usr/bin/$program comes from $owner, not ${program_package[$program]}"
done
/usr/bin/kelvora-fido2 --virtual 3 info || fail "kelvora-fido2 --virtual 3 info exits $?"
# The skin is read with zlib alone; a TLS library mapped at start-up costs every start.
if ldd /usr/bin/kelvora-fido2-manager | grep -E '^\s*lib(ssl|crypto)\.so'; then
  fail "kelvora-fido2-manager maps a TLS library"
fi
mkdir -p "$work/run" "$work/shots"
chmod 700 "$work/run"
# Its own runtime folder: a copy of the tool running for this user must not make it quit.
if ! env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work/run" \
    timeout 300 /usr/bin/kelvora-fido2-manager --screenshots "$work/shots"; then
  fail "kelvora-fido2-manager --screenshots exits $?"
fi
for shot in main_no_key main_with_key main_with_rows virtual_key_panel msgbox_help; do
  [ -s "$work/shots/$shot.png" ] || fail "the screenshot walk wrote no $shot.png"
done

echo "=== package-check: desktop files"
desktop-file-validate "$desktop" || fail "desktop-file-validate $desktop"
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli validate $metainfo"
release=$(sed -n 's/.*<release version="\([^"]*\)".*/\1/p' "$metainfo" | head -n 1)
[ "$release" = "$version" ] || fail "the newest release of the metainfo is $release, not $version"
for p in "${packages[@]}"; do
  changelog=$(zcat "$(installed_or_packaged "/usr/share/doc/$p/changelog.gz")" | sed -n '1s/^[^ ]* (\([^)]*\)).*/\1/p')
  [ "$changelog" = "$version" ] || fail "the newest change log entry of $p is $changelog, not $version"
done
icon=$(sed -n 's/^Icon=//p' "$desktop")
for size in "${icon_sizes[@]}"; do
  file="/usr/share/icons/hicolor/${size}x${size}/apps/$icon.png"
  [ "$(file -b "$file" 2>/dev/null | cut -d, -f2)" = " $size x $size" ] ||
    fail "no $size x $size icon $file"
done

echo "=== package-check: udev rule"
vendor=$(sed -n 's/.*kMakerVendorId = 0x\([0-9A-Fa-f]\{4\}\);.*/\1/p' transport/device_ids.h |
  tr 'A-F' 'a-f')
[ -n "$vendor" ] || fail "no vendor id in transport/device_ids.h"
rules=$(grep -v '^[[:space:]]*\(#\|$\)' "$rule" || true)
[ -n "$rules" ] || fail "$rule has no rule"
while IFS= read -r line; do
  [[ "$line" == *'ATTRS{idVendor}=="'"$vendor"'"'* ]] || fail "a rule matches no vendor $vendor: $line"
  [[ "$line" == *'TAG+="uaccess"'* ]] || fail "a rule does not tag uaccess: $line"
  # The user at the seat gets the key through uaccess; a mode or group would open it to others.
  [[ "$line" != *'MODE='* && "$line" != *'GROUP='* ]] || fail "a rule grants more than uaccess: $line"
done <<<"$rules"

echo "=== package-check: manual pages"
for program in "${programs[@]}"; do
  page=$(installed_or_packaged "/usr/share/man/man1/$program.1.gz")
  text=$(MANWIDTH=80 LC_ALL=C.UTF-8 man --warnings -l "$page" 2>"$work/man.err") ||
    fail "man $page"
  [ ! -s "$work/man.err" ] || { cat "$work/man.err"; fail "man warns about $page"; }
  for section in NAME SYNOPSIS DESCRIPTION "SEE ALSO"; do
    grep -q "^$section" <<<"$text" || fail "$page has no $section"
  done
done

echo "=== package-check: lintian"
lintian --fail-on error "${deb[@]}" ||
  fail "lintian reports errors"

[ "$failures" -eq 0 ] && echo "=== package-check: installed packages passed"
