#include "ctap/input_rules.h"

#include <algorithm>
#include <string>

#include <mbedtls/platform_util.h>

#include "ctap/legacy_pin.h"
#include "transport/device_ids.h"

namespace kelvora {

namespace {

constexpr unsigned kContinuationMask = 0xC0;
constexpr unsigned kContinuation = 0x80;
constexpr unsigned kFourByteLeadMask = 0xF8;
constexpr unsigned kFourByteLead = 0xF0;

}  // namespace

std::size_t Utf16Length(std::string_view utf8) {
    std::size_t units = 0;
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte & kContinuationMask) == kContinuation) {
            continue;
        }
        units += (byte & kFourByteLeadMask) == kFourByteLead ? 2 : 1;
    }
    return units;
}

PinLengthVerdict CheckPinLength(std::size_t utf16Units, std::size_t utf8Bytes) {
    if (utf16Units == 0) {
        return PinLengthVerdict::kEmpty;
    }
    if (utf16Units < static_cast<std::size_t>(kMinPinLength)) {
        return PinLengthVerdict::kTooShort;
    }
    if (utf16Units > static_cast<std::size_t>(kMaxPinLength)) {
        return PinLengthVerdict::kTooLong;
    }
    if (utf8Bytes > kMaxPinBytes) {
        return PinLengthVerdict::kTooManyBytes;
    }
    return PinLengthVerdict::kAccepted;
}

PinLengthVerdict CheckPinLength(std::string_view pinUtf8) {
    return CheckPinLength(Utf16Length(pinUtf8), pinUtf8.size());
}

PinLengthVerdict CheckPinForKey(std::string_view pinUtf8, std::uint16_t productId) {
    if (!IsLegacyModel(productId)) {
        return CheckPinLength(pinUtf8);
    }
    const PinLengthVerdict length = CheckPinLength(Utf16Length(pinUtf8), 0);
    if (length != PinLengthVerdict::kAccepted) {
        return length;
    }
    std::string ansi;
    const bool exact = LegacyPinHasAnsiForm(pinUtf8, ansi);
    mbedtls_platform_zeroize(ansi.data(), ansi.size());
    return exact ? PinLengthVerdict::kAccepted : PinLengthVerdict::kNotInCodePage;
}

NameLengthVerdict CheckNameLength(std::string_view nameUtf8) {
    return CheckNameLength(Utf16Length(nameUtf8));
}

NameLengthVerdict CheckNameLength(std::size_t units) {
    if (units == 0) {
        return NameLengthVerdict::kEmpty;
    }
    if (units < static_cast<std::size_t>(kMinNameLength)) {
        return NameLengthVerdict::kTooShort;
    }
    if (units > static_cast<std::size_t>(kMaxNameLength)) {
        return NameLengthVerdict::kTooLong;
    }
    return NameLengthVerdict::kAccepted;
}

std::size_t CountEnrolled(const SlotMap& slotMap) {
    return static_cast<std::size_t>(std::count_if(slotMap.begin(), slotMap.end(),
                                                  [](std::uint8_t entry) { return entry != 0; }));
}

std::optional<std::uint16_t> FirstFreeSlot(const SlotMap& slotMap) {
    for (std::uint16_t slot = 0; slot < kMaxFingerprints; ++slot) {
        if (slotMap[slot] == 0) {
            return slot;
        }
    }
    return std::nullopt;
}

}  // namespace kelvora
