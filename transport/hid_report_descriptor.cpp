#include "transport/hid_report_descriptor.h"

#include <algorithm>
#include <array>
#include <map>

namespace kelvora {
namespace {

// Item prefix: bSize in bits 0-1 (3 means 4 bytes), bType in bits 2-3, bTag in bits 4-7.
enum ItemType : std::uint8_t { kMain = 0, kGlobal = 1, kLocal = 2 };
enum MainTag : std::uint8_t { kInput = 0x8, kOutput = 0x9 };
enum GlobalTag : std::uint8_t {
    kReportSize = 0x7,
    kReportId = 0x8,
    kReportCount = 0x9,
    kPush = 0xA,
    kPop = 0xB
};
constexpr std::uint8_t kLongItemPrefix = 0xFE;
constexpr std::size_t kMaxPushDepth = 16;
// Report lengths are 16-bit values on every platform.
constexpr std::uint64_t kMaxReportBits = 0xFFFEULL * 8;

struct GlobalState {
    std::uint32_t reportSize = 0;
    std::uint32_t reportCount = 0;
    std::uint32_t reportId = 0;
};

std::uint32_t ItemValue(std::span<const std::uint8_t> data) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < data.size(); ++i) {
        value |= static_cast<std::uint32_t>(data[i]) << (8 * i);
    }
    return value;
}

std::uint16_t ReportBytes(const std::map<std::uint32_t, std::uint64_t>& bitsById) {
    std::uint64_t longest = 0;
    for (const auto& entry : bitsById) {
        longest = std::max(longest, entry.second);
    }
    if (longest == 0) {
        return 0;
    }
    return static_cast<std::uint16_t>((longest + 7) / 8 + 1);
}

}  // namespace

HidReportLengths ParseReportLengths(std::span<const std::uint8_t> descriptor) {
    GlobalState global;
    std::array<GlobalState, kMaxPushDepth> stack{};
    std::size_t depth = 0;
    std::map<std::uint32_t, std::uint64_t> inputBits;
    std::map<std::uint32_t, std::uint64_t> outputBits;

    std::size_t position = 0;
    while (position < descriptor.size()) {
        const std::uint8_t prefix = descriptor[position];
        if (prefix == kLongItemPrefix) {
            // Long items carry no report layout; skip their data.
            if (position + 3 > descriptor.size()) {
                return {};
            }
            const std::size_t size = descriptor[position + 1];
            if (position + 3 + size > descriptor.size()) {
                return {};
            }
            position += 3 + size;
            continue;
        }
        const std::size_t sizeCode = prefix & 0x3U;
        const std::size_t size = sizeCode == 3 ? 4 : sizeCode;
        if (position + 1 + size > descriptor.size()) {
            return {};
        }
        const auto type = static_cast<std::uint8_t>((prefix >> 2) & 0x3U);
        const auto tag = static_cast<std::uint8_t>(prefix >> 4);
        const std::uint32_t value = ItemValue(descriptor.subspan(position + 1, size));
        position += 1 + size;

        if (type == kGlobal) {
            switch (tag) {
                case kReportSize:
                    global.reportSize = value;
                    break;
                case kReportCount:
                    global.reportCount = value;
                    break;
                case kReportId:
                    global.reportId = value;
                    break;
                case kPush:
                    if (depth == kMaxPushDepth) {
                        return {};
                    }
                    stack[depth++] = global;
                    break;
                case kPop:
                    if (depth == 0) {
                        return {};
                    }
                    global = stack[--depth];
                    break;
                default:
                    break;
            }
        } else if (type == kMain && (tag == kInput || tag == kOutput)) {
            auto& bits = tag == kInput ? inputBits : outputBits;
            std::uint64_t& total = bits[global.reportId];
            total += static_cast<std::uint64_t>(global.reportSize) * global.reportCount;
            if (total > kMaxReportBits) {
                return {};
            }
        }
    }
    return {ReportBytes(inputBits), ReportBytes(outputBits)};
}

}  // namespace kelvora
