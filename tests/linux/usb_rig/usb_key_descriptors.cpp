#include "tests/linux/usb_rig/usb_key_descriptors.h"

namespace kelvora::usbrig {
namespace {

constexpr std::uint8_t kDescriptorDevice = 0x01;
constexpr std::uint8_t kDescriptorConfiguration = 0x02;
constexpr std::uint8_t kDescriptorString = 0x03;
constexpr std::uint8_t kDescriptorInterface = 0x04;
constexpr std::uint8_t kDescriptorEndpoint = 0x05;
constexpr std::uint8_t kDescriptorHid = 0x21;
constexpr std::uint8_t kDescriptorReport = 0x22;
constexpr std::uint8_t kClassHid = 0x03;
constexpr std::uint8_t kTransferInterrupt = 0x03;
constexpr std::uint8_t kStringManufacturer = 1;
constexpr std::uint8_t kStringProduct = 2;
constexpr std::uint8_t kStringSerial = 3;
// A string descriptor holds at most 126 UTF-16 units after its two-byte header.
constexpr std::size_t kMaxStringUnits = 126;

std::uint8_t Low(std::uint16_t value) {
    return static_cast<std::uint8_t>(value & 0xFF);
}
std::uint8_t High(std::uint16_t value) {
    return static_cast<std::uint8_t>(value >> 8);
}

void AppendUnit(std::vector<std::uint8_t>& out, std::uint32_t unit) {
    out.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    out.push_back(static_cast<std::uint8_t>(unit >> 8));
}

// UTF-8 (as given on the command line) to the descriptor's UTF-16LE, cut at the descriptor's
// room, never inside a surrogate pair; bytes that are not UTF-8 become U+FFFD, as the
// kernel would show them.
std::vector<std::uint8_t> Utf16Descriptor(const std::string& text) {
    constexpr std::uint32_t kReplacement = 0xFFFD;
    std::vector<std::uint8_t> out = {0, kDescriptorString};
    std::size_t units = 0;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80         ? 1
                                   : lead >> 5 == 0x06 ? 2
                                   : lead >> 4 == 0x0E ? 3
                                   : lead >> 3 == 0x1E ? 4
                                                       : 0;
        std::uint32_t code = length == 1 ? lead : lead & (0x7FU >> length);
        bool valid = length != 0 && i + length <= text.size();
        for (std::size_t k = 1; valid && k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            valid = (next & 0xC0) == 0x80;
            code = (code << 6) | (next & 0x3FU);
        }
        i += valid ? length : 1;
        if (!valid || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            code = kReplacement;
        }
        const std::size_t needed = code > 0xFFFF ? 2 : 1;
        if (units + needed > kMaxStringUnits) {
            break;
        }
        if (needed == 2) {
            AppendUnit(out, 0xD800 + ((code - 0x10000) >> 10));
            AppendUnit(out, 0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            AppendUnit(out, code);
        }
        units += needed;
    }
    out[0] = static_cast<std::uint8_t>(out.size());
    return out;
}

}  // namespace

std::vector<std::uint8_t> DeviceDescriptor(const KeyIdentity& key) {
    return {18,
            kDescriptorDevice,
            0x00,
            0x02,  // USB 2.0
            0,
            0,
            0,   // class per interface
            64,  // EP0 packet size
            Low(key.vendorId),
            High(key.vendorId),
            Low(key.productId),
            High(key.productId),
            Low(key.deviceVersion),
            High(key.deviceVersion),
            static_cast<std::uint8_t>(key.manufacturer.empty() ? 0 : kStringManufacturer),
            static_cast<std::uint8_t>(key.product.empty() ? 0 : kStringProduct),
            static_cast<std::uint8_t>(key.serial.empty() ? 0 : kStringSerial),
            1};
}

std::vector<std::uint8_t> ReportDescriptor() {
    return {
        0x06, 0xD0, 0xF1,  // usage page FIDO alliance
        0x09, 0x01,        // usage CTAPHID
        0xA1, 0x01,        // collection application
        0x09, 0x20,        //   usage input report data
        0x15, 0x00,        //   logical minimum 0
        0x26, 0xFF, 0x00,  //   logical maximum 255
        0x75, 0x08,        //   report size 8
        0x95, 0x40,        //   report count 64
        0x81, 0x02,        //   input (data, variable, absolute)
        0x09, 0x21,        //   usage output report data
        0x15, 0x00,        //   logical minimum 0
        0x26, 0xFF, 0x00,  //   logical maximum 255
        0x75, 0x08,        //   report size 8
        0x95, 0x40,        //   report count 64
        0x91, 0x02,        //   output (data, variable, absolute)
        0xC0,              // end collection
    };
}

std::vector<std::uint8_t> ConfigurationDescriptor() {
    const auto reportLength = static_cast<std::uint16_t>(ReportDescriptor().size());
    std::vector<std::uint8_t> out = {// configuration 1, one interface, bus powered, 100 mA
                                     9, kDescriptorConfiguration, 0, 0, 1, 1, 0, 0x80, 50,
                                     // interface 0: HID, no boot protocol, two endpoints
                                     9, kDescriptorInterface, 0, 0, 2, kClassHid, 0, 0, 0,
                                     // HID 1.11, no country, one report descriptor
                                     9, kDescriptorHid, 0x11, 0x01, 0, 1, kDescriptorReport,
                                     Low(reportLength), High(reportLength),
                                     // interrupt IN and OUT, 64 bytes
                                     7, kDescriptorEndpoint, kInEndpoint, kTransferInterrupt,
                                     Low(kReportSize), High(kReportSize), kPollIntervalMs, 7,
                                     kDescriptorEndpoint, kOutEndpoint, kTransferInterrupt,
                                     Low(kReportSize), High(kReportSize), kPollIntervalMs};
    out[2] = Low(static_cast<std::uint16_t>(out.size()));
    out[3] = High(static_cast<std::uint16_t>(out.size()));
    return out;
}

std::vector<std::uint8_t> StringDescriptor(const KeyIdentity& key, std::uint8_t index) {
    switch (index) {
        case 0:
            return {4, kDescriptorString, 0x09, 0x04};  // US English
        case kStringManufacturer:
            return key.manufacturer.empty() ? std::vector<std::uint8_t>{}
                                            : Utf16Descriptor(key.manufacturer);
        case kStringProduct:
            return key.product.empty() ? std::vector<std::uint8_t>{} : Utf16Descriptor(key.product);
        case kStringSerial:
            return key.serial.empty() ? std::vector<std::uint8_t>{} : Utf16Descriptor(key.serial);
        default:
            return {};
    }
}

}  // namespace kelvora::usbrig
