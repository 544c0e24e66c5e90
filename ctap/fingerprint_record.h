// The enrolled fingerprints as the main window keeps them: template identifiers, the slot
// numbers derived from them, and the friendly names read from the key. Plain data that the
// caller owns and passes to the operations that fill it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kelvora {

// Slots 0 to 255: what the maker's keys use, and what the legacy slot bitmap can express.
inline constexpr std::size_t kSlotCount = 256;
// Identifiers the tool builds are two bytes: 0x00 and the slot number.
inline constexpr std::size_t kTemplateIdSize = 2;

// Entry s is 1 when slot s holds a fingerprint.
using SlotMap = std::array<std::uint8_t, kSlotCount>;
// Friendly-name bytes (ANSI code page) by slot number.
using TemplateNames = std::map<std::uint16_t, std::string>;

struct FingerprintRecord {
    std::vector<std::uint8_t> templateId;
    std::string friendlyName;  // bytes as the key holds them
};

// The slot number of an identifier: its first two bytes, big-endian. Identifiers shorter
// than two bytes have none.
inline std::optional<std::uint16_t> SlotFromTemplateId(std::span<const std::uint8_t> templateId) {
    if (templateId.size() < kTemplateIdSize) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>((templateId[0] << 8) | templateId[1]);
}

// Whether a slot number has an entry in the slot map.
constexpr bool SlotFitsMap(std::uint32_t slot) {
    return slot < kSlotCount;
}

// The identifier the tool sends for a slot (removal, renaming): the slot number big-endian,
// which is 0x00 and the slot number for the slots 0 to 255 the maker's keys use. Writing
// the high byte too means a larger number can never name a different template.
inline std::array<std::uint8_t, kTemplateIdSize> TemplateIdFromSlot(std::uint16_t slot) {
    return {static_cast<std::uint8_t>(slot >> 8), static_cast<std::uint8_t>(slot & 0xFF)};
}

}  // namespace kelvora
