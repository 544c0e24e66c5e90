// Vendor APDUs of the legacy models (ISO/IEC 7816-4 command form) and the session's own
// status words.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace kelvora {

// Status words: the key's SW1 SW2, or the session's own values above 0xFF00.
enum ApduStatus : std::uint16_t {
    kSwSuccess = 0x9000,
    // The exchange failed, the transport is not HID, the answer carried no status
    // word, or the response data did not fit the caller's buffer.
    kSwTransportFailure = 0xFFFB,
    // The secure APDU could not be built.
    kSwBuildFailure = 0xFFFE,
};

// How TransmitSecureApdu sends the stored header.
enum SecureMessagingMode : std::uint8_t {
    kApduPlain = 0,
    kApduSecure = 4,
};

enum class SmCipher {
    kDes,  // two-key triple DES CBC for data, ISO/IEC 9797-1 MAC algorithm 3
    kAes,  // AES-128 CBC for data, AES CBC-MAC
};

inline constexpr std::size_t kApduHeaderSize = 4;
inline constexpr std::size_t kApduLengthOffset = 4;
inline constexpr std::size_t kApduDataOffset = 5;
inline constexpr std::size_t kApduBufferSize = 4096;
inline constexpr std::size_t kSmChallengeSize = 8;
inline constexpr std::size_t kStatusWordSize = 2;
// P1 value whose plain APDU carries Le in byte 4 (the challenge request 80 E2 FF 00 08).
inline constexpr std::uint8_t kP1CarriesLe = 0xFF;

struct ApduHeader {
    std::uint8_t cla = 0;
    std::uint8_t ins = 0;
    std::uint8_t p1 = 0;
    std::uint8_t p2 = 0;
    const std::uint8_t* data = nullptr;  // borrowed; lc bytes
    std::uint32_t lc = 0;
    std::uint32_t le = 0;
};

// Builds the APDU for `header` into `out` (kApduBufferSize bytes are enough). Plain mode
// gives the header and one byte: Le's low byte when P1 is 0xFF, else 0x00. Secure mode
// encrypts the data and appends the MAC under `key` (16 bytes) with `challenge` as the
// initial value. Returns the APDU length, or 0 when it cannot be built: secure mode with
// a key that is missing or not 16 bytes, data that would not fit the one-byte length,
// missing data, or a mode other than plain and secure.
std::size_t BuildApdu(const ApduHeader& header, std::uint8_t mode, const std::uint8_t* key,
                      std::uint32_t keyLength,
                      const std::array<std::uint8_t, kSmChallengeSize>& challenge, SmCipher cipher,
                      std::span<std::uint8_t> out);

}  // namespace kelvora
