// The prototype bio enrollment command (0x40, or 0x50 with the vendor command bytes):
// subcommands 1-7 of the CTAP 2.1 preview, and on models 6 and 7 the maker's own
// verifyFingerprint (8: wait for a finger, 0x00 on a match, 0x28 otherwise, 0x2F on a
// time-out) and getFingerprintRetries (9: the status byte is the number of fingerprint
// attempts left, 0 when verification is locked).
//
// pinAuth, when present, must be LEFT16(HMAC-SHA-256(pinToken, modality || subCommand ||
// subCommandParams as sent)). Templates are identified by two bytes, the big-endian slot
// number; each takes Config::samplesPerTemplate samples. A sample wait ends with
// USER_ACTION_TIMEOUT after timeoutMilliseconds, or with sample status 14 (no up transition)
// when the finger stayed on the sensor since the previous sample.
#pragma once

#include "vkey/key_context.h"

namespace kelvora::vkey {

CommandResult HandleBioEnrollment(KeyContext& ctx, ByteView parameters);

}  // namespace kelvora::vkey
