#include "platform/text.h"

namespace kelvora::text {
namespace {

// The platform layer has no crypto library to borrow a wipe from; volatile stores are not
// optimised away.
template <typename Char>
void Wipe(std::basic_string<Char>& text) {
    volatile Char* p = text.data();
    for (std::size_t i = 0; i < text.size(); ++i) {
        p[i] = Char{};
    }
}

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

std::optional<std::string> AnsiToUtf8(std::string_view ansi) {
    const std::optional<std::u16string> wide = ToUtf16(CodePage::Ansi, ansi);
    return wide ? FromUtf16(CodePage::Utf8, *wide) : std::nullopt;
}

std::optional<std::string> Utf8ToAnsi(std::string_view utf8) {
    const std::optional<std::u16string> wide = ToUtf16(CodePage::Utf8, utf8);
    return wide ? FromUtf16(CodePage::Ansi, *wide) : std::nullopt;
}

std::u16string ToUtf16Or(CodePage from, std::string_view bytes, std::u16string_view fallback) {
    return ToUtf16(from, bytes).value_or(std::u16string(fallback));
}

std::string FromUtf16Or(CodePage to, std::u16string_view text, std::string_view fallback) {
    return FromUtf16(to, text).value_or(std::string(fallback));
}

bool ExactUtf8ToAnsi(std::string_view utf8, std::string& out) {
    Wipe(out);
    out.clear();
    std::optional<std::u16string> wide = ToUtf16(CodePage::Utf8, utf8);
    std::optional<std::string> ansi;
    std::optional<std::u16string> back;
    std::optional<std::string> utf8Back;
    if (wide) {
        ansi = FromUtf16(CodePage::Ansi, *wide);
    }
    if (ansi) {
        back = ToUtf16(CodePage::Ansi, *ansi);
    }
    if (back) {
        utf8Back = FromUtf16(CodePage::Utf8, *back);
    }
    // Comparing UTF-8 with UTF-8 catches invalid input (it came back as U+FFFD) as well as
    // characters the code page lacks.
    const bool exact = utf8Back && *back == *wide && *utf8Back == utf8;
    if (exact) {
        out = *ansi;
    }
    for (auto* text : {&wide, &back}) {
        if (*text) {
            Wipe(**text);
        }
    }
    for (auto* text : {&ansi, &utf8Back}) {
        if (*text) {
            Wipe(**text);
        }
    }
    return exact;
}

std::string_view Trim(std::string_view text) {
    return TrimImpl(text);
}
std::u16string_view Trim(std::u16string_view text) {
    return TrimImpl(text);
}

}  // namespace kelvora::text
