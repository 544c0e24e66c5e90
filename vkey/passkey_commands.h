// The key as an authenticator for passkeys: makeCredential with option "rk" true stores one
// (ES256, packed self attestation), getAssertion signs with one.
//
// With a PIN set both need the pinAuth of the session's token over the client data hash
// (PIN_REQUIRED without it for makeCredential; an assertion without it is made without UV).
// Both wait for a touch, as reset does. makeCredential answers UNSUPPORTED_ALGORITHM without
// ES256 among the parameters, CREDENTIAL_EXCLUDED for an excluded passkey of the site,
// KEY_STORE_FULL at the model's capacity; a passkey for the same site and user id replaces
// the one before. getAssertion answers NO_CREDENTIALS when no passkey of the site (or of
// its allow list) is held, and uses the newest otherwise; without an allow list it tells how
// many the site has, and getNextAssertion gives the rest in turn (NOT_ALLOWED once none is
// left).
#pragma once

#include "vkey/key_cbor.h"
#include "vkey/key_context.h"

namespace kelvora::vkey {

// `request` is a makeCredential map whose required members were already checked.
CommandResult HandlePasskeyCreation(KeyContext& ctx, const CborItem& request);

CommandResult HandleGetAssertion(KeyContext& ctx, ByteView parameters);
CommandResult HandleGetNextAssertion(KeyContext& ctx);

}  // namespace kelvora::vkey
