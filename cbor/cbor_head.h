// The parsed head of one CBOR item, read in place and checked against the end of the data.
#pragma once

#include <cstdint>

#include "cbor/cbor_constants.h"

namespace kelvora {

struct CborHead {
    // Tag number when the item is preceded by one tag head; kCborNoTag when there is none
    // (so an item tagged 255 reads as untagged).
    std::uint32_t tag = kCborNoTag;
    std::uint8_t majorType = toByte(CborMajorType::kSimple);
    // Low five bits of the initial byte: the simple value for major type 7, 31 for an
    // indefinite length or a break.
    std::uint8_t additionalInfo = kCborNull;
    // Bytes of the tag head (if any) plus the item's own head. 0 for the null item and for a
    // head that cannot be read: see `wellFormed`.
    std::uint8_t headLength = 0;
    // The value, string length, element count or pair count; 31 for an indefinite length.
    std::uint32_t argument = 0;

    // False for the null item (no data) and for malformed heads: a head cut off by the end of
    // the data, additional information 27 to 30 (64-bit arguments and reserved values), or
    // an indefinite length on an integer or tag.
    bool wellFormed() const { return headLength != 0; }
    bool isIndefinite() const { return wellFormed() && additionalInfo == kCborIndefinite; }
    bool is(CborMajorType type) const { return majorType == toByte(type); }
    bool isBreak() const { return isIndefinite() && is(CborMajorType::kSimple); }
};

// Parses the head at `data`, which has `available` bytes, unwrapping one tag. A tag on a tag
// leaves major type 6 in the result (the first tag in `tag`, the second in `argument`). No
// data (null or 0 bytes) gives the null item; a malformed head keeps the major type and
// additional information of its initial byte and has headLength 0 and argument 0.
CborHead parseCborHead(const std::uint8_t* data, std::uint32_t available);

}  // namespace kelvora
