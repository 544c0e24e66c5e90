// One accepted HID interface of the maker, and the text that describes it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "transport/hid_backend.h"

namespace kelvora {

// "HID NAME:%s|VID:0x%04x|PID:0x%04x\n" with its terminator fits in this many bytes.
inline constexpr std::size_t kDeviceDescriptionSize = 100;

// The name used when the product string could not be read or converted.
inline constexpr std::string_view kUnknownDeviceName = "Unknown Device";

struct HidDeviceInfo {
    std::uint32_t vendorId = 0;
    std::uint32_t productId = 0;
    // NUL-terminated, in the platform's narrow encoding.
    std::array<char, kDeviceDescriptionSize> description{};
    std::string path;
    HidReportLengths reportLengths;
    // Shared by the device list and the current device slot, so that re-enumeration
    // never closes the device in use under the session.
    std::shared_ptr<HidConnection> connection;
};

// Builds the description. A product name too long for the 100 bytes is shortened at a
// character boundary of the narrow encoding, so the text never ends in half a character.
std::array<char, kDeviceDescriptionSize> MakeDeviceDescription(std::string_view productName,
                                                               std::uint32_t vendorId,
                                                               std::uint32_t productId);

// True when `path` contains `vendorId` as four lower-case hex digits (case-sensitive).
bool PathNamesVendor(std::string_view path, std::uint16_t vendorId);

// "vid_4b56&pid_2B03": the identity text that device paths carry on every platform, the
// vendor id in lower-case and the product id in upper-case hex digits.
std::string InterfaceIdentity(std::uint16_t vendorId, std::uint16_t productId);

// The path a person names the interface by: without the identity a backend appended
// ("/dev/hidraw0#vid_4b56&pid_2B03" gives "/dev/hidraw0"), and otherwise whole. A SetupAPI
// device path ("\\?\hid#vid_4b56&pid_2b03#0000#{...}") has "#" between its own parts and
// ends in the interface class, so it is the only name two keys of one model differ by.
std::string UserPath(std::string_view path);

}  // namespace kelvora
