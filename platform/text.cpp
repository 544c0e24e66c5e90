#include "platform/text.h"

namespace kelvora::text {
namespace {

constexpr std::string_view kDigitsUpper = "0123456789ABCDEF";
constexpr std::string_view kDigitsLower = "0123456789abcdef";
constexpr std::string_view kSpaceChars = " \t\r\n";

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

template <typename Char>
std::basic_string_view<Char> TrimImpl(std::basic_string_view<Char> text) {
    auto isSpace = [](Char c) {
        return c < 0x80 && kSpaceChars.find(static_cast<char>(c)) != std::string_view::npos;
    };
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && isSpace(text[begin])) {
        ++begin;
    }
    while (end > begin && isSpace(text[end - 1])) {
        --end;
    }
    return text.substr(begin, end - begin);
}

}  // namespace

std::string BytesToHex(std::span<const std::uint8_t> bytes, HexCase letterCase) {
    const std::string_view digits = letterCase == HexCase::Upper ? kDigitsUpper : kDigitsLower;
    std::string hex;
    hex.reserve(bytes.size() * 2);
    for (const std::uint8_t b : bytes) {
        hex.push_back(digits[b >> 4]);
        hex.push_back(digits[b & 0x0F]);
    }
    return hex;
}

std::optional<std::vector<std::uint8_t>> HexToBytes(std::string_view hex) {
    if (hex.size() % 2 != 0) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes;
    bytes.reserve(hex.size() / 2);
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        const int high = HexValue(hex[i]);
        const int low = HexValue(hex[i + 1]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        bytes.push_back(static_cast<std::uint8_t>(high << 4 | low));
    }
    return bytes;
}

std::string_view Trim(std::string_view text) {
    return TrimImpl(text);
}
std::u16string_view Trim(std::u16string_view text) {
    return TrimImpl(text);
}

}  // namespace kelvora::text
