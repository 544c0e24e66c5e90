// The cryptography of the legacy models' secure messaging, over mbed TLS: ISO/IEC 9797-1
// padding method 2, data encryption (AES-128 CBC or two-key triple DES CBC) and the MAC
// (AES CBC-MAC or ISO/IEC 9797-1 MAC algorithm 3 with DES).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "transport/apdu.h"

namespace kelvora {

inline constexpr std::size_t kSmKeySize = 16;

std::size_t SmBlockSize(SmCipher cipher);  // 16 for AES, 8 for DES
std::size_t SmMacSize(SmCipher cipher);    // 16 for AES, 8 for DES

// The length of `length` bytes after ISO/IEC 9797-1 padding method 2: always at least one
// byte more, up to the next multiple of the block size.
std::size_t PaddedLength(std::size_t length, std::size_t blockSize);

// Pads buffer[0, length) in place with 0x80 and zeros; the buffer must hold
// PaddedLength(length) bytes. Returns the padded length, or 0 when it does not fit.
std::size_t PadMethod2(std::span<std::uint8_t> buffer, std::size_t length, std::size_t blockSize);

// Encrypts `data` (already padded, a multiple of the block size) in place in CBC mode.
bool SmEncrypt(SmCipher cipher, std::span<const std::uint8_t, kSmKeySize> key,
               const std::array<std::uint8_t, kSmChallengeSize>& challenge,
               std::span<std::uint8_t> data);

// Computes the MAC of `message` (unpadded; padded here with method 2) into `mac`, which
// must hold SmMacSize(cipher) bytes.
bool SmMac(SmCipher cipher, std::span<const std::uint8_t, kSmKeySize> key,
           const std::array<std::uint8_t, kSmChallengeSize>& challenge,
           std::span<const std::uint8_t> message, std::span<std::uint8_t> mac);

}  // namespace kelvora
