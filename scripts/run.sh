#!/usr/bin/env bash
# Sets the machine up, builds, and starts the tool on an in-process virtual key (model 3
# unless --virtual MODEL says otherwise) with the virtual key's panel beside the main
# window, so it can be tried without a security key.
# Without a display it says so and offers the offscreen mode, which walks the main window
# (and its panel) through their states and writes a picture of each instead of showing it:
#   ./scripts/run.sh --screenshots DIR
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
./scripts/build.sh default
app=build/default/app/kelvora-fido2-manager

args=("$@")
shots=false
virtual=false
for arg in "$@"; do
  case "$arg" in
    --screenshots) shots=true ;;
    --virtual) virtual=true ;;
  esac
done
$virtual || args+=(--virtual 3)

if ! $shots && [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] &&
   [ "${QT_QPA_PLATFORM:-}" != offscreen ]; then
  echo "run: there is no display (DISPLAY and WAYLAND_DISPLAY are unset), so the window cannot be shown."
  echo "run: offscreen, the tool can show its main states on the virtual key and save pictures of them:"
  echo "       ./scripts/run.sh --screenshots build/screenshots"
  if [ -t 0 ]; then
    read -r -p "run: do that now? [Y/n] " answer
    case "$answer" in [nN]*) exit 1 ;; esac
    args+=(--screenshots build/screenshots)
    shots=true
  else
    exit 1
  fi
fi
if $shots; then
  export QT_QPA_PLATFORM=offscreen
fi
exec "$app" "${args[@]}"
