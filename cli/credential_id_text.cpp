#include "cli/credential_id_text.h"

namespace kelvora::cli {
namespace {

constexpr std::string_view kAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
constexpr std::size_t kBitsPerDigit = 6;
constexpr std::size_t kBitsPerByte = 8;
constexpr std::uint32_t kDigitMask = 0x3F;
constexpr std::uint32_t kByteMask = 0xFF;

}  // namespace

std::string CredentialIdText(std::span<const std::uint8_t> id) {
    std::string text;
    std::uint32_t buffer = 0;
    std::size_t bits = 0;
    for (const std::uint8_t byte : id) {
        buffer = (buffer << kBitsPerByte) | byte;
        bits += kBitsPerByte;
        while (bits >= kBitsPerDigit) {
            bits -= kBitsPerDigit;
            text += kAlphabet[(buffer >> bits) & kDigitMask];
        }
    }
    if (bits > 0) {
        text += kAlphabet[(buffer << (kBitsPerDigit - bits)) & kDigitMask];
    }
    return text;
}

std::optional<std::vector<std::uint8_t>> ParseCredentialId(std::string_view text) {
    // One digit left over carries no whole byte.
    if (text.empty() || text.size() % 4 == 1) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> id;
    std::uint32_t buffer = 0;
    std::size_t bits = 0;
    for (const char c : text) {
        const std::size_t digit = kAlphabet.find(c);
        if (digit == std::string_view::npos) {
            return std::nullopt;
        }
        buffer = ((buffer << kBitsPerDigit) | static_cast<std::uint32_t>(digit)) & 0xFFFFFF;
        bits += kBitsPerDigit;
        if (bits >= kBitsPerByte) {
            bits -= kBitsPerByte;
            id.push_back(static_cast<std::uint8_t>((buffer >> bits) & kByteMask));
        }
    }
    // The bits left over must be zero, or two texts would name the same id.
    if ((buffer & ((1U << bits) - 1)) != 0) {
        return std::nullopt;
    }
    return id;
}

}  // namespace kelvora::cli
