#!/usr/bin/env bash
# Takes the Windows command line through a key's life under Wine, on an in-process virtual
# key whose state is kept in a file between the runs: set a PIN, enrol, list, rename, delete,
# reset. Every step must succeed and say what it did.
#   cli-flow.sh PATH/kelvora-fido2.exe
set -euo pipefail
exe=$1
wine_run=$(dirname "$0")/wine-run.sh
state=$(mktemp -d)
trap 'rm -rf "$state"' EXIT

cli() { "$wine_run" "$exe" --virtual 3 --state "$state/key" --json "$@" 2>/dev/null | tr -d '\r'; }
expect() { # expect TEXT OUTPUT
  if ! grep -qF -- "$1" <<<"$2"; then
    echo "cli-flow: expected $1 in: $2" >&2
    exit 1
  fi
  echo "cli-flow: ok ${2:0:100}"
}

expect '"pinSet":false' "$(cli info)"
expect '"ok":true' "$(printf '1234\n' | cli pin set --pin-stdin)"
expect '"pinSet":true' "$(cli info)"
out=$(printf '1234\n' | cli fingerprints enroll --name thumb --pin-stdin)
expect '"name":"thumb"' "$out"
slot=$(sed -n 's/.*"slot":\([0-9]*\).*/\1/p' <<<"$out")
expect '"name":"thumb"' "$(printf '1234\n' | cli fingerprints list --pin-stdin)"
expect '"name":"index"' \
  "$(printf '1234\n' | cli fingerprints rename "$slot" index --pin-stdin)"
expect '"ok":true' "$(printf '1234\n' | cli fingerprints enroll --name ring --pin-stdin)"
expect '"ok":true' "$(printf '1234\n' | cli fingerprints delete "$slot" --pin-stdin)"
list=$(printf '1234\n' | cli fingerprints list --pin-stdin)
if grep -qF '"name":"index"' <<<"$list"; then
  echo "cli-flow: the deleted fingerprint is still listed: $list" >&2
  exit 1
fi
expect '"ok":true' "$(cli reset --yes)"
expect '"pinSet":false' "$(cli info)"
echo "cli-flow: passed"
