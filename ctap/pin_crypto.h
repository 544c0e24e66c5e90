// The cryptography of PIN/UV auth protocol one (CTAP 2.0 §5.5.4 and §5.5.8), over mbed TLS.
//
// Everything here is pure computation: no key is contacted. The ClientPIN commands build on
// these functions. Secrets are returned in `Secret` buffers that wipe themselves.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "ctap/secret.h"

namespace kelvora::pin_crypto {

inline constexpr std::size_t kCoordinateLength = 32;
inline constexpr std::size_t kSharedSecretLength = 32;
inline constexpr std::size_t kAesBlockLength = 16;
inline constexpr std::size_t kPinAuthLength = 16;
inline constexpr std::size_t kPinHashLength = 16;
inline constexpr std::size_t kPaddedPinLength = 64;

using SharedSecret = Secret<kSharedSecretLength>;
using PinAuth = std::array<std::uint8_t, kPinAuthLength>;

// The outcome of one key agreement: the platform's fresh public key, to be sent to the key
// as the keyAgreement COSE key, and the shared secret SHA-256(Z.x).
struct KeyAgreement {
    std::array<std::uint8_t, kCoordinateLength> platformX{};
    std::array<std::uint8_t, kCoordinateLength> platformY{};
    SharedSecret sharedSecret;
};

// Generates a fresh P-256 key pair with a CTR-DRBG seeded from mbed TLS's entropy collector
// (personalisation "ecdh" with its terminating zero) and agrees a secret with the key's public
// point (peerX, peerY). Returns 0, 0x12 when the generator cannot be seeded, or the negative
// mbed TLS error (an off-curve peer point is rejected by mbed TLS before any use).
int AgreeKey(std::span<const std::uint8_t, kCoordinateLength> peerX,
             std::span<const std::uint8_t, kCoordinateLength> peerY, KeyAgreement& out);

// The same agreement with a given platform private scalar (32 bytes, big-endian) instead of a
// fresh one. Deterministic, so it can be checked against independent implementations.
int AgreeKeyWithPrivateKey(std::span<const std::uint8_t, kCoordinateLength> privateKey,
                           std::span<const std::uint8_t, kCoordinateLength> peerX,
                           std::span<const std::uint8_t, kCoordinateLength> peerY,
                           KeyAgreement& out);

// AES-256-CBC with an all-zero IV and no padding. `in` must be a whole number of blocks and
// `out` at least as long; returns false otherwise (nothing is written then).
bool Encrypt(const SharedSecret& key, std::span<const std::uint8_t> in,
             std::span<std::uint8_t> out);
bool Decrypt(const SharedSecret& key, std::span<const std::uint8_t> in,
             std::span<std::uint8_t> out);

// The first 16 bytes of HMAC-SHA-256(key, message): pinAuth for ClientPIN requests (keyed
// with the shared secret) and for bio enrollment requests (keyed with the PIN token).
PinAuth Authenticate(std::span<const std::uint8_t> key, std::span<const std::uint8_t> message);

// The first 16 bytes of SHA-256 of the PIN bytes.
Secret<kPinHashLength> PinHash(std::span<const std::uint8_t> pin);

// The PIN bytes at the start of a 64-byte zero block. A PIN longer than the block leaves it
// all zero (callers check the length limits before getting here).
Secret<kPaddedPinLength> PadPin(std::span<const std::uint8_t> pin);

}  // namespace kelvora::pin_crypto
