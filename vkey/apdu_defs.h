// The legacy models' vendor APDUs as the virtual key answers them (ISO/IEC 7816-4 form).
//
//   CLA INS P1 P2          data (plain)          response data        meaning
//   80  E3  00 00 Le       -                     3 bytes              version: firmware byte,
//                                                                     model number 1-7, 0x00
//   80  E2  FF 00 08       -                     8 bytes              fresh challenge
//   80  E3  02 00 00       -                     2 bytes              PIN set (0/1), at least
//                                                                     one fingerprint (0/1)
//   80  E3  03 00 00       -                     -                    reset (plug-in window)
//   80  E3  04 00 00       -                     1 byte               fingerprint attempts left
//   84  E2  04 00  (SM)    -                     32 bytes             slot bitmap, LSB first
//   84  E2  01 nn  (SM)    slot (2, big-endian)  -                    enrol sample nn (1-4),
//                                                                     nn = 5 stores the template
//   84  E2  03 00  (SM)    slot (2)              -                    delete a template
//   84  E2  02 02  (SM)    -                     2 bytes on success   verify: matching slot
//   46  E2  06 00  (SM)    LEFT16(SHA-256(PIN))  -                    set the first PIN
//   46  E2  07 00  (SM)    old hash || new hash  -                    change the PIN
//
// The CTAP2 models answer the three plain queries 80 E3 00, 80 E2 FF and 80 E3 04 only.
#pragma once

#include <cstdint>

namespace kelvora::vkey {

enum class ApduClass : std::uint8_t {
    kPlain = 0x80,
    kSecure = 0x84,
    kSecurePin = 0x46,
};

enum class ApduInstruction : std::uint8_t {
    kSecureCommand = 0xE2,
    kQuery = 0xE3,
};

// P1 of 80 E3 (plain queries).
enum class QueryP1 : std::uint8_t {
    kFirmwareVersion = 0x00,
    kStatusBytes = 0x02,
    kReset = 0x03,
    kFailureDetail = 0x04,
};

// P1 of 84 E2 / 46 E2 / 80 E2.
enum class SecureP1 : std::uint8_t {
    kEnrollStep = 0x01,
    kVerifyPoll = 0x02,
    kDelete = 0x03,
    kSlotBitmap = 0x04,
    kSetPin = 0x06,
    kChangePin = 0x07,
    kChallenge = 0xFF,
};

inline constexpr std::uint8_t kVerifyPollP2 = 0x02;
inline constexpr int kLegacyFinalEnrollStep = 5;
inline constexpr std::size_t kApduHeaderSize = 4;
inline constexpr std::size_t kChallengeSize = 8;
inline constexpr std::size_t kSlotBitmapSize = 32;
inline constexpr std::size_t kLegacyPinHashSize = 16;
inline constexpr std::size_t kSlotDataSize = 2;

// Status words.
inline constexpr std::uint16_t kSwSuccess = 0x9000;
inline constexpr std::uint16_t kSwRetriesBase = 0x63C0;  // low nibble: retries left
inline constexpr std::uint16_t kSwWrongLength = 0x6700;
inline constexpr std::uint16_t kSwSecurityNotSatisfied = 0x6982;  // no fresh challenge
inline constexpr std::uint16_t kSwPinBlocked = 0x6983;
inline constexpr std::uint16_t kSwConditionsNotSatisfied = 0x6985;  // also: no finger to verify
inline constexpr std::uint16_t kSwSecureMessagingError = 0x6988;    // bad MAC or padding
inline constexpr std::uint16_t kSwNotVerified = 0x6A80;
inline constexpr std::uint16_t kSwNoSpace = 0x6A84;
inline constexpr std::uint16_t kSwNoFinger = 0x6A86;
inline constexpr std::uint16_t kSwSlotEmpty = 0x6A83;
inline constexpr std::uint16_t kSwSlotOccupied = 0x6A89;
inline constexpr std::uint16_t kSwWrongP1P2 = 0x6B00;
inline constexpr std::uint16_t kSwInsNotSupported = 0x6D00;
inline constexpr std::uint16_t kSwClaNotSupported = 0x6E00;

}  // namespace kelvora::vkey
