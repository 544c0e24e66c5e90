#include "cbor/cbor_writer.h"

#include <cstring>

namespace kelvora {

namespace {

constexpr std::uint32_t kMax8 = 0xFF;
constexpr std::uint32_t kMax16 = 0xFFFF;

}  // namespace

std::uint32_t CborWriter::headSize(std::uint32_t argument) {
    if (argument <= kCborMaxImmediate) {
        return 1;
    }
    if (argument <= kMax8) {
        return 2;
    }
    if (argument <= kMax16) {
        return 3;
    }
    return 5;
}

std::uint32_t writeCborHead(std::uint8_t* out, std::uint32_t room, CborMajorType type,
                            std::uint32_t argument) {
    const std::uint32_t size = CborWriter::headSize(argument);
    if (out == nullptr || type == CborMajorType::kSimple || room < size) {
        return 0;
    }
    const auto major = static_cast<std::uint8_t>(toByte(type) << kCborMajorTypeShift);
    switch (size) {
        case 1:
            out[0] = static_cast<std::uint8_t>(major | argument);
            break;
        case 2:
            out[0] = major | kCborArgument8;
            out[1] = static_cast<std::uint8_t>(argument);
            break;
        case 3:
            out[0] = major | kCborArgument16;
            out[1] = static_cast<std::uint8_t>(argument >> 8);
            out[2] = static_cast<std::uint8_t>(argument);
            break;
        default:
            out[0] = major | kCborArgument32;
            out[1] = static_cast<std::uint8_t>(argument >> 24);
            out[2] = static_cast<std::uint8_t>(argument >> 16);
            out[3] = static_cast<std::uint8_t>(argument >> 8);
            out[4] = static_cast<std::uint8_t>(argument);
            break;
    }
    return size;
}

CborWriter& CborWriter::init(std::uint8_t* buffer, std::uint32_t capacity) {
    buffer_ = buffer;
    length_ = 0;
    capacity_ = buffer == nullptr ? 0 : capacity;
    return *this;
}

CborWriter& CborWriter::reset() {
    return init(nullptr, 0);
}

CborWriter& CborWriter::putItem(CborMajorType type, std::uint32_t argument,
                                const std::uint8_t* payload, std::uint32_t payloadSize) {
    if (buffer_ == nullptr || (payload == nullptr && payloadSize > 0)) {
        return *this;
    }
    const std::uint32_t head = headSize(argument);
    // Checked as two steps so that a huge payload cannot wrap the sum around.
    if (room() < head || room() - head < payloadSize) {
        return *this;
    }
    length_ += writeCborHead(buffer_ + length_, room(), type, argument);
    if (payloadSize > 0) {
        std::memcpy(buffer_ + length_, payload, payloadSize);
        length_ += payloadSize;
    }
    return *this;
}

CborWriter& CborWriter::putByte(std::uint8_t byte) {
    if (buffer_ != nullptr && length_ < capacity_) {
        buffer_[length_++] = byte;
    }
    return *this;
}

CborWriter& CborWriter::putInt(std::int32_t value) {
    if (value >= 0) {
        return putItem(CborMajorType::kUnsigned, static_cast<std::uint32_t>(value));
    }
    // -1 - value, computed as the complement so that INT32_MIN does not overflow.
    return putItem(CborMajorType::kNegative, ~static_cast<std::uint32_t>(value));
}

CborWriter& CborWriter::putBytes(const std::uint8_t* data, std::uint32_t n) {
    return putItem(CborMajorType::kBytes, n, data, n);
}

CborWriter& CborWriter::putText(const char* data, std::uint32_t n) {
    return putItem(CborMajorType::kText, n, reinterpret_cast<const std::uint8_t*>(data), n);
}

CborWriter& CborWriter::putText(std::string_view text) {
    if (text.size() > UINT32_MAX) {
        return *this;
    }
    return putText(text.data(), static_cast<std::uint32_t>(text.size()));
}

CborWriter& CborWriter::beginArray(std::uint32_t count) {
    return putItem(CborMajorType::kArray, count);
}

CborWriter& CborWriter::beginMap(std::uint32_t count) {
    return putItem(CborMajorType::kMap, count);
}

CborWriter& CborWriter::putTag(std::uint32_t tag) {
    return putItem(CborMajorType::kTag, tag);
}

CborWriter& CborWriter::putSimple(std::uint8_t value) {
    if (value > kCborMaxImmediate) {
        return *this;
    }
    return putByte(
        static_cast<std::uint8_t>((toByte(CborMajorType::kSimple) << kCborMajorTypeShift) | value));
}

CborWriter& CborWriter::beginIndefiniteArray() {
    return putByte(kCborIndefiniteArrayByte);
}

CborWriter& CborWriter::beginIndefiniteMap() {
    return putByte(kCborIndefiniteMapByte);
}

CborWriter& CborWriter::putBreak() {
    return putByte(kCborBreakByte);
}

std::uint32_t CborWriter::putRaw(const std::uint8_t* data, std::uint32_t n) {
    if (buffer_ == nullptr || data == nullptr || n == 0 || room() < n) {
        return 0;
    }
    std::memcpy(buffer_ + length_, data, n);
    length_ += n;
    return n;
}

}  // namespace kelvora
