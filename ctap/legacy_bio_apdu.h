// The vendor APDUs of the legacy models' fingerprint functions, and the one sequence every
// secure command takes: fetch a fresh challenge, then send the command under secure
// messaging with that challenge as the initial value.
#pragma once

#include <cstdint>
#include <span>

#include "transport/fido_device.h"

namespace kelvora {

enum LegacyApduClass : std::uint8_t {
    kLegacyPlainClass = 0x80,
    kLegacySecureClass = 0x84,
};

enum LegacyApduInstruction : std::uint8_t {
    kLegacyBioInstruction = 0xE2,
    kLegacyQueryInstruction = 0xE3,
};

// P1 of the bio instruction.
enum LegacyBioP1 : std::uint8_t {
    kLegacyEnrollStepP1 = 0x01,  // P2 is the sample number, 1 to 5
    kLegacyVerifyPollP1 = 0x02,
    kLegacyDeleteP1 = 0x03,
    kLegacySlotBitmapP1 = 0x04,
    kLegacyChallengeP1 = 0xFF,
};

// P1 of the query instruction: how many fingerprint attempts are left.
inline constexpr std::uint8_t kLegacyFailureDetailP1 = 0x04;
inline constexpr std::uint8_t kLegacyVerifyPollP2 = 0x02;

inline constexpr std::uint32_t kLegacyChallengeLe = 8;
inline constexpr std::uint32_t kLegacySlotBitmapSize = 32;  // 256 slots, one bit each
inline constexpr std::uint32_t kLegacyVerifyPollLe = 2;
inline constexpr std::uint32_t kLegacyFailureDetailLe = 1;
// Response room of the enrol, delete and verification commands.
inline constexpr std::uint32_t kLegacyBioResponseSize = 32;
inline constexpr std::uint32_t kLegacySlotDataSize = 2;  // slot number, big-endian

struct LegacySecureCommand {
    std::uint8_t cla = kLegacySecureClass;
    std::uint8_t ins = kLegacyBioInstruction;
    std::uint8_t p1 = 0;
    std::uint8_t p2 = 0;
    std::span<const std::uint8_t> data;
    std::uint32_t le = 0;
};

// Fetches a challenge (80 E2 FF 00 08) and sends `command` under secure messaging with
// the maker's key. The challenge's status word is not examined: a failed request leaves
// the challenge zero and the key then refuses the command. Returns the command's status
// word; `response` and `responseLength` are passed through to TransmitSecureApdu.
std::uint16_t TransmitLegacySecureCommand(FidoDevice& device, const LegacySecureCommand& command,
                                          std::uint8_t* response, std::uint32_t* responseLength);

}  // namespace kelvora
