#include "cbor/cbor_base.h"

#include <algorithm>
#include <cstdio>

#include "cbor/cbor_writer.h"

namespace kelvora {

namespace {

// Writes the optional tag head and then a head of `type` with `argument`, or nothing when
// the two do not fit together: a tag left without its item would change the next item.
std::uint32_t writeTaggedHead(std::uint8_t* out, std::uint32_t room, std::uint32_t tag,
                              CborMajorType type, std::uint32_t argument) {
    const std::uint32_t tagSize = tag == kCborNoTag ? 0 : CborWriter::headSize(tag);
    if (out == nullptr || room < tagSize + CborWriter::headSize(argument)) {
        return 0;
    }
    const std::uint32_t written =
        tagSize == 0 ? 0 : writeCborHead(out, room, CborMajorType::kTag, tag);
    return written + writeCborHead(out + written, room - written, type, argument);
}

}  // namespace

const CborBase& CborBase::null() {
    static const CborBase item(toByte(CborMajorType::kSimple), kCborNull);
    return item;
}

std::uint32_t CborBase::encode(std::uint8_t* buffer, std::uint32_t room) const {
    const std::uint32_t tagSize = hasTag() ? CborWriter::headSize(tag_) : 0;
    if (buffer == nullptr || room < tagSize + 1) {
        return 0;
    }
    const std::uint32_t written =
        tagSize == 0 ? 0 : writeCborHead(buffer, room, CborMajorType::kTag, tag_);
    buffer[written] = static_cast<std::uint8_t>((majorType_ << kCborMajorTypeShift) |
                                                (additionalInfo_ & kCborAdditionalInfoMask));
    return written + 1;
}

const CborBase* CborBase::element(std::uint32_t /*index*/) const {
    return &null();
}

const CborBase* CborBase::key(std::uint32_t /*index*/) const {
    return &null();
}

const CborBase* CborBase::value(std::uint32_t /*index*/) const {
    return &null();
}

void CborBase::dump(std::string& out) const {
    if (hasTag()) {
        char tagText[16];
        static_cast<void>(
            std::snprintf(tagText, sizeof tagText, "(%lu) ", static_cast<unsigned long>(tag_)));
        out += tagText;
    }
    out += "null\r\n";
}

std::uint32_t encodeTree(std::uint8_t* buffer, std::uint32_t size,
                         std::vector<const CborBase*>& roots) {
    // The work list is consumed from its back; reversing the roots keeps them in order.
    std::vector<const CborBase*>& work = roots;
    std::reverse(work.begin(), work.end());
    std::uint32_t length = 0;
    while (!work.empty()) {
        const CborBase* item = work.back();
        work.pop_back();
        if (item == nullptr) {
            continue;
        }
        std::uint8_t* const at = buffer == nullptr ? nullptr : buffer + length;
        const std::uint32_t room = size - length;
        const std::uint32_t count = item->count();
        if (item->majorType() == toByte(CborMajorType::kArray)) {
            length += writeTaggedHead(at, room, item->tag(), CborMajorType::kArray, count);
            for (std::uint32_t i = count; i > 0; --i) {
                work.push_back(item->element(i - 1));
            }
        } else if (item->majorType() == toByte(CborMajorType::kMap)) {
            length += writeTaggedHead(at, room, item->tag(), CborMajorType::kMap, count);
            for (std::uint32_t i = count; i > 0; --i) {
                work.push_back(item->value(i - 1));
                work.push_back(item->key(i - 1));
            }
        } else {
            // A derived encoder that claims more than the room it got must not wrap `room`.
            length += std::min(item->encode(at, room), room);
        }
    }
    return length;
}

}  // namespace kelvora
