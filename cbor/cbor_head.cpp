#include "cbor/cbor_head.h"

namespace kelvora {

namespace {

// One head without tag unwrapping; headLength stays 0 when it is malformed.
CborHead parseOneHead(const std::uint8_t* data, std::uint32_t available) {
    CborHead head;
    if (data == nullptr || available == 0) {
        return head;
    }
    head.majorType = static_cast<std::uint8_t>(data[0] >> kCborMajorTypeShift);
    head.additionalInfo = data[0] & kCborAdditionalInfoMask;
    const std::uint8_t info = head.additionalInfo;
    if (info <= kCborMaxImmediate) {
        head.argument = info;
        head.headLength = 1;
    } else if (info == kCborArgument8 && available >= 2) {
        head.argument = data[1];
        head.headLength = 2;
    } else if (info == kCborArgument16 && available >= 3) {
        head.argument = (std::uint32_t{data[1]} << 8) | data[2];
        head.headLength = 3;
    } else if (info == kCborArgument32 && available >= 5) {
        head.argument = (std::uint32_t{data[1]} << 24) | (std::uint32_t{data[2]} << 16) |
                        (std::uint32_t{data[3]} << 8) | data[4];
        head.headLength = 5;
    } else if (info == kCborIndefinite && !head.is(CborMajorType::kUnsigned) &&
               !head.is(CborMajorType::kNegative) && !head.is(CborMajorType::kTag)) {
        // RFC 7049 §2.2: only strings, arrays, maps and the break take additional info 31.
        head.argument = kCborIndefinite;
        head.headLength = 1;
    }
    return head;
}

CborHead malformed(const CborHead& head) {
    CborHead result;
    result.majorType = head.majorType;
    result.additionalInfo = head.additionalInfo;
    return result;
}

}  // namespace

CborHead parseCborHead(const std::uint8_t* data, std::uint32_t available) {
    const CborHead first = parseOneHead(data, available);
    if (!first.wellFormed()) {
        return malformed(first);
    }
    if (!first.is(CborMajorType::kTag)) {
        return first;
    }
    if (available == first.headLength) {
        return malformed(first);  // a tag with nothing after it
    }
    CborHead item = parseOneHead(data + first.headLength, available - first.headLength);
    if (!item.wellFormed()) {
        return malformed(item);
    }
    item.tag = first.argument;
    item.headLength = static_cast<std::uint8_t>(item.headLength + first.headLength);
    return item;
}

}  // namespace kelvora
