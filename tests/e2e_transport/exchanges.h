// The exchanges the end-to-end tests send through the client's session: GetInfo, and a slot
// bitmap read under secure messaging, which the key verifies.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "transport/apdu.h"
#include "transport/device_ids.h"
#include "transport/fido_device.h"

namespace kelvora::test {

inline constexpr std::uint8_t kGetInfo = 0x04;
inline constexpr std::uint8_t kVendorGetInfo = 0x44;
inline constexpr std::uint8_t kPlainClass = 0x80;
inline constexpr std::uint8_t kSecureClass = 0x84;
inline constexpr std::uint8_t kSecureInstruction = 0xE2;
inline constexpr std::uint8_t kChallengeP1 = 0xFF;
inline constexpr std::uint8_t kSlotBitmapP1 = 0x04;
inline constexpr std::size_t kSlotBitmapSize = 32;
inline constexpr std::uint16_t kSwSecureMessagingError = 0x6988;

struct SlotRead {
    std::uint16_t status = 0;
    std::array<std::uint8_t, kSlotBitmapSize> bitmap{};
    std::uint32_t length = 0;
};

// GetInfo with the command byte the connected key takes; returns the CTAP status.
inline std::uint8_t GetInfo(FidoDevice& device, std::vector<std::uint8_t>& data) {
    const std::uint8_t command = device.State().vendorCommandSet ? kVendorGetInfo : kGetInfo;
    data.assign(kApduBufferSize, 0);
    std::uint32_t length = static_cast<std::uint32_t>(data.size());
    const std::uint8_t status = device.SendCborCommand(&command, 1, data.data(), &length);
    data.resize(status == kCtapSuccess ? length : 0);
    return status;
}

// A fresh challenge, then 84 E2 04 00 under secure messaging; with `spoilChallenge` the
// MAC is computed from a corrupted challenge, which the key must refuse.
inline SlotRead ReadSlots(FidoDevice& device, bool spoilChallenge = false) {
    std::array<std::uint8_t, kSmChallengeSize> challenge{};
    std::uint32_t length = challenge.size();
    device.SetApduHeader(kPlainClass, kSecureInstruction, kChallengeP1, 0, nullptr, 0,
                         kSmChallengeSize);
    EXPECT_EQ(device.TransmitSecureApdu(challenge.data(), &length, nullptr, 0, kApduPlain, nullptr),
              kSwSuccess);
    if (spoilChallenge) {
        challenge[0] ^= 0xFF;
    }
    SlotRead read;
    read.length = kSlotBitmapSize;
    device.SetApduHeader(kSecureClass, kSecureInstruction, kSlotBitmapP1, 0, nullptr, 0,
                         kSlotBitmapSize);
    read.status =
        device.TransmitSecureApdu(read.bitmap.data(), &read.length, kSecureMessagingKey.data(),
                                  kSecureMessagingKeyLength, kApduSecure, challenge.data());
    return read;
}

// The minimal reading of a GetInfo response: a CBOR map whose first member is versions (1),
// an array that names FIDO_2_0.
inline bool LooksLikeGetInfo(const std::vector<std::uint8_t>& data) {
    constexpr std::uint8_t kMapMajor = 0xA0;
    constexpr std::uint8_t kArrayMajor = 0x80;
    constexpr std::uint8_t kMajorMask = 0xE0;
    constexpr std::uint8_t kVersionsKey = 0x01;
    constexpr std::string_view kFido20 = "FIDO_2_0";
    if (data.size() < 3 || (data[0] & kMajorMask) != kMapMajor || data[1] != kVersionsKey ||
        (data[2] & kMajorMask) != kArrayMajor) {
        return false;
    }
    const std::string text(data.begin(), data.end());
    return text.find(kFido20) != std::string::npos;
}

}  // namespace kelvora::test
