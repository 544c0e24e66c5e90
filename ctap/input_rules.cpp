#include "ctap/input_rules.h"

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

NameLengthVerdict CheckNameLength(std::string_view nameUtf8) {
    const std::size_t units = Utf16Length(nameUtf8);
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

}  // namespace kelvora
