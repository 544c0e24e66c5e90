#!/usr/bin/env bash
# Sets the machine up, builds, and runs the tool's main job. For now that is the decoder's
# diagnostic dump of a sample GetInfo response; pass hex bytes to dump your own.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
./scripts/build.sh default
exec build/default/cbor/kelvora-cbor-dump "$@"
