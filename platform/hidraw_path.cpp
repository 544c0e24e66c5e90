#include "platform/hidraw_path.h"

#include <cstdint>
#include <cstdio>
#include <optional>

namespace kelvora {
namespace {

struct HidIds {
    std::uint16_t vendor = 0;
    std::uint16_t product = 0;
};

std::optional<unsigned> HexField(std::string_view text) {
    if (text.size() != 4) {
        return std::nullopt;
    }
    unsigned value = 0;
    for (const char c : text) {
        unsigned digit = 0;
        if (c >= '0' && c <= '9') {
            digit = static_cast<unsigned>(c - '0');
        } else if (c >= 'A' && c <= 'F') {
            digit = static_cast<unsigned>(c - 'A' + 10);
        } else if (c >= 'a' && c <= 'f') {
            digit = static_cast<unsigned>(c - 'a' + 10);
        } else {
            return std::nullopt;
        }
        value = value * 16 + digit;
    }
    return value;
}

// "BBBB:VVVV:PPPP.NNNN"
std::optional<HidIds> ParseHidDeviceName(std::string_view name) {
    constexpr std::size_t kLength = 19;
    if (name.size() != kLength || name[4] != ':' || name[9] != ':' || name[14] != '.') {
        return std::nullopt;
    }
    const auto bus = HexField(name.substr(0, 4));
    const auto vendor = HexField(name.substr(5, 4));
    const auto product = HexField(name.substr(10, 4));
    const auto instance = HexField(name.substr(15, 4));
    if (!bus || !vendor || !product || !instance) {
        return std::nullopt;
    }
    return HidIds{static_cast<std::uint16_t>(*vendor), static_cast<std::uint16_t>(*product)};
}

}  // namespace

std::string HidrawInterfacePath(std::string_view devnode, std::string_view devpath) {
    std::string path(devnode);
    // The HID parent is the nearest component of that form above the node.
    std::optional<HidIds> ids;
    std::size_t end = devpath.size();
    while (!ids && end > 0) {
        const std::size_t slash = devpath.rfind('/', end - 1);
        const std::size_t begin = slash == std::string_view::npos ? 0 : slash + 1;
        ids = ParseHidDeviceName(devpath.substr(begin, end - begin));
        if (slash == std::string_view::npos) {
            break;
        }
        end = slash;
    }
    if (ids) {
        char identity[24] = {};
        (void)std::snprintf(identity, sizeof identity, "#vid_%04x&pid_%04X",
                            static_cast<unsigned>(ids->vendor),
                            static_cast<unsigned>(ids->product));
        path += identity;
    }
    return path;
}

}  // namespace kelvora
