// authenticatorGetInfo (CTAP 2.0 §5.4).
#pragma once

#include "vkey/key_context.h"

namespace kelvora::vkey {

// Options: "clientPin" (true once a PIN is set), "uv" (true while fingerprints are
// enrolled), "up", "rk" true, "userVerificationMgmtPreview" - or "bioEnroll" when the
// config says so - true while fingerprints are enrolled, and "credentialMgmtPreview" - or
// "credMgmt" with the version "FIDO_2_1" on a key that reports CTAP 2.1 - true.
CommandResult HandleGetInfo(KeyContext& ctx);

// The model's AAGUID: 16 bytes, the same in GetInfo and in every attestation.
Bytes Aaguid(const Config& config);

}  // namespace kelvora::vkey
