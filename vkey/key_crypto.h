// The primitives the key side of PIN protocol one needs (CTAP 2.0 §5.5.4), over mbed TLS.
// Written for the virtual key alone: it shares no code with the client's PIN protocol, so a
// mistake on one side shows up as a failed exchange instead of hiding itself.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>

#include "vkey/bytes.h"

namespace kelvora::vkey {

inline constexpr std::size_t kP256CoordinateSize = 32;
inline constexpr std::size_t kSha256Size = 32;
inline constexpr std::size_t kAesBlockSize = 16;
inline constexpr std::size_t kPinAuthSize = 16;

Bytes Sha256(ByteView data);
Bytes HmacSha256(ByteView key, ByteView data);

// AES-256-CBC with a zero IV and no padding. Fails (nullopt) on a length that is not a
// whole number of blocks or a key that is not 32 bytes.
std::optional<Bytes> Aes256CbcEncrypt(ByteView key, ByteView data);
std::optional<Bytes> Aes256CbcDecrypt(ByteView key, ByteView data);

// Compares without an early exit, so the time taken does not tell where a MAC differs.
bool ConstantTimeEqual(ByteView a, ByteView b);

// Overwrites a secret before its memory is released.
void Wipe(Bytes& secret);

// Random bytes from a CTR-DRBG seeded by mbed TLS's entropy collector.
Bytes RandomBytes(std::size_t count);

// The key's ECDH key-agreement key on P-256.
class KeyAgreementKey {
  public:
    KeyAgreementKey();
    ~KeyAgreementKey();
    KeyAgreementKey(const KeyAgreementKey&) = delete;
    KeyAgreementKey& operator=(const KeyAgreementKey&) = delete;

    const Bytes& x() const { return x_; }
    const Bytes& y() const { return y_; }

    // SHA-256 of the x coordinate of the shared point with the peer's public key, or nullopt
    // when the peer's point is not on the curve.
    std::optional<Bytes> SharedSecret(ByteView peerX, ByteView peerY) const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    Bytes x_;
    Bytes y_;
};

}  // namespace kelvora::vkey
