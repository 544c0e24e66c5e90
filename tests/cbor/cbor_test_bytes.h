// Byte vectors written as hex in tests.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cbor/cbor_view.h"

namespace kelvora::test {

using Bytes = std::vector<std::uint8_t>;

// "a2 01 02" -> {0xA2, 0x01, 0x02}; blanks are ignored.
inline Bytes hex(std::string_view text) {
    Bytes out;
    std::string digits;
    for (const char c : text) {
        if (c != ' ') {
            digits += c;
        }
    }
    for (std::size_t i = 0; i + 1 < digits.size(); i += 2) {
        out.push_back(static_cast<std::uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
    }
    return out;
}

inline std::string toHex(const std::uint8_t* data, std::size_t size) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    for (std::size_t i = 0; i < size; ++i) {
        if (i > 0) {
            out += ' ';
        }
        out += kDigits[data[i] >> 4];
        out += kDigits[data[i] & 0x0F];
    }
    return out;
}

inline std::string toHex(const Bytes& bytes) {
    return toHex(bytes.data(), bytes.size());
}

inline CborView viewOf(const Bytes& bytes) {
    return {bytes.data(), static_cast<std::uint32_t>(bytes.size())};
}

// Offset of a lookup result inside the buffer it was made from; -1 for the empty view.
inline long offsetIn(const Bytes& bytes, const CborView& view) {
    return view.empty() ? -1 : static_cast<long>(view.data() - bytes.data());
}

}  // namespace kelvora::test
