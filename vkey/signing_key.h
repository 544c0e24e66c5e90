// The ES256 (ECDSA on P-256 with SHA-256) key pair of one passkey. Only the private scalar
// is kept; the public point is worked out again whenever it is needed.
#pragma once

#include <optional>

#include "vkey/bytes.h"

namespace kelvora::vkey {

struct SigningKey {
    Bytes privateKey;  // 32 bytes, big-endian
    Bytes x;           // public point, 32 bytes each
    Bytes y;
};

// A fresh key pair; nothing when the generator failed.
std::optional<SigningKey> GenerateSigningKey();

// The pair of a stored private scalar; nothing when it is not a valid P-256 scalar.
std::optional<SigningKey> SigningKeyFrom(ByteView privateKey);

// The DER-encoded ECDSA signature of SHA-256(message); nothing on failure.
std::optional<Bytes> SignEs256(ByteView privateKey, ByteView message);

}  // namespace kelvora::vkey
