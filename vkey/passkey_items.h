// The CBOR items the passkey commands (makeCredential, getAssertion, credential management)
// share, and the pinAuth check of the two that carry one over the client data hash.
#pragma once

#include <optional>

#include "vkey/ctap_defs.h"
#include "vkey/key_cbor.h"
#include "vkey/key_context.h"

namespace kelvora::vkey {

// {"id": id, "type": "public-key"}
CborItem CredentialDescriptor(ByteView credentialId);
// The COSE_Key of an ES256 public key; an empty map when the private key is unusable.
CborItem PublicKeyItem(const StoredPasskey& passkey);
// {"id": ..., "name": ..., "displayName": ...}, names only when the key holds them.
CborItem UserItem(const StoredPasskey& passkey);
// {"id": ..., "name": ...}, the name only when there is one.
CborItem RpItem(const StoredPasskey& passkey);

// The id of a descriptor map, nothing when it is not one.
std::optional<Bytes> DescriptorId(const CborItem& descriptor);

// Checks pinAuth (LEFT(HMAC-SHA-256(pinToken, message), 16)) and its protocol. Nothing when
// both are absent; `*verified` tells whether a valid pinAuth came.
std::optional<CtapStatus> CheckMessagePinAuth(const KeyContext& ctx, const CborItem* pinAuth,
                                              const CborItem* protocol, ByteView message,
                                              bool& verified);

// The passkeys of `rpId`, newest first.
std::vector<const StoredPasskey*> PasskeysOf(const State& state, const std::string& rpId);

}  // namespace kelvora::vkey
