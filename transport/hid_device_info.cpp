#include "transport/hid_device_info.h"

#include <cctype>
#include <cstdio>

#include "platform/narrow_text.h"

namespace kelvora {
namespace {

constexpr std::string_view kDescriptionFormatFixedPart = "HID NAME:|VID:0x0000|PID:0x0000\n";

}  // namespace

std::array<char, kDeviceDescriptionSize> MakeDeviceDescription(std::string_view productName,
                                                               std::uint32_t vendorId,
                                                               std::uint32_t productId) {
    std::array<char, kDeviceDescriptionSize> description{};
    // Identifiers wider than 16 bits would print more digits; they never come from USB.
    vendorId &= 0xFFFFU;
    productId &= 0xFFFFU;
    const std::size_t room = kDeviceDescriptionSize - 1 - kDescriptionFormatFixedPart.size();
    const std::size_t nameLength = NarrowTextPrefixLength(productName, room);
    (void)std::snprintf(description.data(), description.size(),
                        "HID NAME:%.*s|VID:0x%04x|PID:0x%04x\n", static_cast<int>(nameLength),
                        productName.data(), static_cast<unsigned>(vendorId),
                        static_cast<unsigned>(productId));
    return description;
}

bool PathNamesVendor(std::string_view path, std::uint16_t vendorId) {
    char digits[5] = {};
    (void)std::snprintf(digits, sizeof digits, "%04x", static_cast<unsigned>(vendorId));
    return path.find(digits) != std::string_view::npos;
}

std::string InterfaceIdentity(std::uint16_t vendorId, std::uint16_t productId) {
    char text[20] = {};
    (void)std::snprintf(text, sizeof text, "vid_%04x&pid_%04X", static_cast<unsigned>(vendorId),
                        static_cast<unsigned>(productId));
    return text;
}

std::string UserPath(std::string_view path) {
    const std::size_t separator = path.rfind('#');
    if (separator == std::string_view::npos) {
        return std::string(path);
    }
    const std::string_view tail = path.substr(separator + 1);
    // "vid_" 4 hex "&pid_" 4 hex, in either case.
    constexpr std::string_view kForm = "vid_xxxx&pid_xxxx";
    bool appended = tail.size() == kForm.size();
    for (std::size_t i = 0; appended && i < kForm.size(); ++i) {
        const char c = tail[i];
        appended = kForm[i] == 'x' ? std::isxdigit(static_cast<unsigned char>(c)) != 0
                                   : std::tolower(static_cast<unsigned char>(c)) == kForm[i];
    }
    return std::string(appended ? path.substr(0, separator) : path);
}

}  // namespace kelvora
