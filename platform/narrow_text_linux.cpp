// Narrow text on Linux is UTF-8: a character boundary is any byte that is not a
// continuation byte (10xxxxxx).
#include "platform/narrow_text.h"

#include "platform/text.h"

namespace kelvora {
namespace {

constexpr unsigned char kContinuationMask = 0xC0;
constexpr unsigned char kContinuationBits = 0x80;

bool IsContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & kContinuationMask) == kContinuationBits;
}

}  // namespace

std::size_t NarrowTextPrefixLength(std::string_view text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) {
        return text.size();
    }
    std::size_t cut = maxBytes;
    while (cut > 0 && IsContinuationByte(text[cut])) {
        --cut;
    }
    return cut;
}

std::optional<std::string> NarrowToUtf8(std::string_view text) {
    // Already UTF-8; the round trip through UTF-16 only replaces what is not valid.
    const std::optional<std::u16string> wide = text::ToUtf16(text::CodePage::Utf8, text);
    return wide ? text::FromUtf16(text::CodePage::Utf8, *wide) : std::nullopt;
}

}  // namespace kelvora
