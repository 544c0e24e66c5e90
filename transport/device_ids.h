// The maker's USB identifiers and the secure-messaging key of its legacy models.
//
// This header is the one piece of the client that the virtual key shares: both sides must
// agree on these values, and none of them is logic that could hide a shared mistake.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace kelvora {

// The maker's USB vendor identifier. Device paths carry it as four lower-case hex digits.
inline constexpr std::uint16_t kMakerVendorId = 0x4B56;

// The supported product list in preference order: when several supported keys are
// attached, the one whose model comes first is used.
inline constexpr std::array<std::uint16_t, 7> kSupportedProducts = {
    0x1A01,  // legacy model, vendor APDUs under secure messaging
    0x1A02,  // legacy model, vendor APDUs under secure messaging
    0x2B03,  // CTAP2
    0x2B04,  // CTAP2
    0x2B05,  // CTAP2
    0x2B06,  // CTAP2; needs a settle delay after it is opened
    0x2B07,  // CTAP2
};

inline constexpr std::size_t kLegacyModelCount = 2;
inline constexpr std::size_t kSettleDelayModelIndex = 5;
inline constexpr std::uint16_t kSettleDelayProductId = kSupportedProducts[kSettleDelayModelIndex];

// Index of a product in the supported product list, or -1 when it is not supported.
constexpr int SupportedProductIndex(std::uint32_t productId) {
    for (std::size_t i = 0; i < kSupportedProducts.size(); ++i) {
        if (kSupportedProducts[i] == productId) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

constexpr bool IsSupportedProduct(std::uint32_t productId) {
    return SupportedProductIndex(productId) >= 0;
}

constexpr bool IsLegacyModel(std::uint32_t productId) {
    const int index = SupportedProductIndex(productId);
    return index >= 0 && static_cast<std::size_t>(index) < kLegacyModelCount;
}

// The 16-byte key of the legacy models' secure messaging: one AES-128 key, or K1 || K2 of
// two-key triple DES.
inline constexpr std::size_t kSecureMessagingKeyLength = 16;
inline constexpr std::array<std::uint8_t, kSecureMessagingKeyLength> kSecureMessagingKey = {
    0x10, 0x7C, 0xB9, 0xE3, 0xC5, 0xB6, 0xFF, 0xA6,
    0xCF, 0xC9, 0xB9, 0xF2, 0x1D, 0x64, 0xE8, 0x5F,
};

}  // namespace kelvora
