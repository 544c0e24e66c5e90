// authenticatorMakeCredential in the form of the fingerprint test, a
// request with option "uv" true and a zero-length pinAuth (CTAP 2.0 §5.1: the key waits for
// the user). No credential is created. Answers after a finger or the time-out:
//   0x00 a finger that matches a template (body: "none" attestation over an authData with
//        UP and UV set and no credential); 0x28 a finger that matches none, or verification
//        locked; 0x2F no finger in time; 0x35 / 0x33 nothing enrolled, a touch seen, without
//        / with a PIN (the CTAP 2.0 answers to a touch-only request).
// Any other makeCredential makes a passkey (vkey/passkey_commands.h), or is refused with
// UNSUPPORTED_OPTION when it does not ask for one.
#pragma once

#include "vkey/key_context.h"

namespace kelvora::vkey {

CommandResult HandleMakeCredential(KeyContext& ctx, ByteView parameters);

}  // namespace kelvora::vkey
