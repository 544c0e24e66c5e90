// Numbers of the CBOR data model (RFC 7049 §2) as this codec uses them.
#pragma once

#include <cstdint>

namespace kelvora {

// Major types, the high three bits of an item's initial byte (RFC 7049 §2.1).
enum class CborMajorType : std::uint8_t {
    kUnsigned = 0,
    kNegative = 1,
    kBytes = 2,
    kText = 3,
    kArray = 4,
    kMap = 5,
    kTag = 6,
    kSimple = 7,
};

inline constexpr std::uint8_t toByte(CborMajorType type) {
    return static_cast<std::uint8_t>(type);
}

// Additional information, the low five bits of the initial byte.
inline constexpr std::uint8_t kCborAdditionalInfoMask = 0x1F;
inline constexpr std::uint8_t kCborMajorTypeShift = 5;
inline constexpr std::uint8_t kCborMaxImmediate = 23;  // argument held in the byte itself
inline constexpr std::uint8_t kCborArgument8 = 24;     // one following byte
inline constexpr std::uint8_t kCborArgument16 = 25;    // two following bytes, big-endian
inline constexpr std::uint8_t kCborArgument32 = 26;    // four following bytes, big-endian
inline constexpr std::uint8_t kCborArgument64 = 27;    // eight bytes: outside this codec
inline constexpr std::uint8_t kCborIndefinite = 31;    // indefinite length, or break

// Simple values of major type 7 (RFC 7049 §2.3). The float forms share the argument sizes.
inline constexpr std::uint8_t kCborFalse = 20;
inline constexpr std::uint8_t kCborTrue = 21;
inline constexpr std::uint8_t kCborNull = 22;
inline constexpr std::uint8_t kCborUndefined = 23;
inline constexpr std::uint8_t kCborHalfFloat = kCborArgument16;
inline constexpr std::uint8_t kCborSingleFloat = kCborArgument32;
inline constexpr std::uint8_t kCborDoubleFloat = kCborArgument64;

// Whole initial bytes written on their own.
inline constexpr std::uint8_t kCborIndefiniteArrayByte = 0x9F;
inline constexpr std::uint8_t kCborIndefiniteMapByte = 0xBF;
inline constexpr std::uint8_t kCborBreakByte = 0xFF;

// The tag field of an item that has no tag. Tag 255 itself therefore cannot be expressed.
inline constexpr std::uint32_t kCborNoTag = 255;

// The count reported for an indefinite-length array, map or string.
inline constexpr std::uint32_t kIndefiniteCount = 0x7EEEEEEE;

}  // namespace kelvora
