// What a USB host reads from the emulated key before it talks CTAPHID: the standard
// descriptors of a full-speed HID device with one interrupt IN and one interrupt OUT
// endpoint of 64 bytes, and the FIDO report descriptor.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kelvora::usbrig {

inline constexpr std::uint8_t kInEndpoint = 0x81;
inline constexpr std::uint8_t kOutEndpoint = 0x01;
inline constexpr std::uint16_t kReportSize = 64;
inline constexpr std::uint8_t kPollIntervalMs = 5;

struct KeyIdentity {
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::uint16_t deviceVersion = 0x0100;
    std::string manufacturer;
    std::string product;
    std::string serial;
};

std::vector<std::uint8_t> DeviceDescriptor(const KeyIdentity& key);
std::vector<std::uint8_t> ConfigurationDescriptor();
std::vector<std::uint8_t> ReportDescriptor();
// String descriptor `index` (0: the language list); empty when there is no such string.
std::vector<std::uint8_t> StringDescriptor(const KeyIdentity& key, std::uint8_t index);

}  // namespace kelvora::usbrig
