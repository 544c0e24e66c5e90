// What kind of key the virtual key is: fixed for the life of a VirtualKey.
#pragma once

#include <cstddef>
#include <cstdint>

#include "transport/device_ids.h"
#include "vkey/hostile.h"

namespace kelvora::vkey {

struct Config {
    int model = 3;  // 1-7: the position in the supported product list
    std::uint8_t firmware = 17;
    std::size_t templateCapacity = 10;
    // GetInfo reports the standard option "bioEnroll" instead of the prototype's
    // "userVerificationMgmtPreview".
    bool reportBioEnroll = false;
    // Refuse bio requests without pinAuth once a PIN is set (PIN_REQUIRED). The maker's keys
    // accept them, and the tool relies on that after a fingerprint check.
    bool requirePinAuth = false;
    // A legacy model's status bytes say no fingerprint is enrolled whatever its slots hold,
    // as some firmware's do.
    bool statusOmitsFingerprints = false;
    // GetInfo reports CTAP 2.1 ("FIDO_2_1", option "credMgmt") and credential management
    // takes the standard byte 0x0A instead of the prototype's 0x41.
    bool reportsCtap21 = false;

    int maxPinRetries = 8;
    int maxFingerprintRetries = 5;
    int samplesPerTemplate = 4;
    std::int64_t resetWindowMs = 10000;
    std::int64_t presenceTimeoutMs = 30000;  // reset's touch
    std::int64_t verifyTimeoutMs = 10000;    // fingerprint test and verifyFingerprint
    std::int64_t defaultSampleTimeoutMs = 5000;
    // Model 6 ignores every packet for this long after it is plugged in.
    std::int64_t settleDelayMs = 2000;
    // Misbehaves on purpose in every answer (VirtualKey::SetHostility changes it later).
    Hostility hostility = Hostility::kNone;

    bool IsValid() const {
        return model >= 1 && model <= static_cast<int>(kSupportedProducts.size());
    }
    std::uint16_t productId() const {
        return kSupportedProducts[static_cast<std::size_t>(model - 1)];
    }
    bool isLegacy() const { return static_cast<std::size_t>(model) <= kLegacyModelCount; }
    bool usesAes() const { return firmware > 16; }
    bool takesVendorCommandBytes() const { return firmware >= 18; }
    bool hasOwnBioSubcommands() const { return model == 6 || model == 7; }
    // How many passkeys the key holds: none on a legacy model, more on the newest two.
    std::size_t passkeyCapacity() const {
        constexpr std::size_t kSmall = 25;
        constexpr std::size_t kLarge = 50;
        return isLegacy() ? 0 : (model >= 6 ? kLarge : kSmall);
    }
    bool needsSettleDelay() const {
        return static_cast<std::size_t>(model - 1) == kSettleDelayModelIndex;
    }
};

}  // namespace kelvora::vkey
