// authenticatorClientPIN with PIN protocol one (CTAP 2.0 §5.5): getRetries,
// getKeyAgreement, setPIN, changePIN, getPINToken.
//
// Counters: `State::pinRetries` starts at Config::maxPinRetries, falls by one per PIN
// checked and returns to the maximum on a match; at 0 the PIN is blocked (PIN_BLOCKED until
// a reset). Three mismatches in a row block PIN checks until the key is plugged in again
// (PIN_AUTH_BLOCKED). Every mismatch renews the key-agreement key.
#pragma once

#include "vkey/key_context.h"

namespace kelvora::vkey {

CommandResult HandleClientPin(KeyContext& ctx, ByteView parameters);

}  // namespace kelvora::vkey
