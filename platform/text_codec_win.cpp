// Code-page conversion with the Windows API: CP_ACP is the ANSI code page of the system.
#include <windows.h>

#include <algorithm>

#include "platform/text.h"

namespace kelvora::text {
namespace {

UINT WindowsCodePage(CodePage page) {
    return page == CodePage::Ansi ? CP_ACP : CP_UTF8;
}

// Converts only valid input; an empty result means "not valid" for non-empty input.
std::u16string StrictToUtf16(UINT page, std::string_view bytes) {
    std::u16string result;
    const int length = static_cast<int>(bytes.size());
    const int needed =
        MultiByteToWideChar(page, MB_ERR_INVALID_CHARS, bytes.data(), length, nullptr, 0);
    if (needed <= 0) {
        return result;
    }
    result.resize(static_cast<std::size_t>(needed));
    MultiByteToWideChar(page, MB_ERR_INVALID_CHARS, bytes.data(), length,
                        reinterpret_cast<wchar_t*>(result.data()), needed);
    return result;
}

// Byte sequences that are not text (a name cut inside a double-byte character, say) become
// U+FFFD one character at a time, as on Linux, rather than whatever the system's default
// character is: a name reads the same on both systems.
std::u16string ToUtf16Replacing(UINT page, std::string_view bytes) {
    std::u16string result;
    std::size_t position = 0;
    while (position < bytes.size()) {
        std::size_t width = 1;
        if (page != CP_UTF8) {
            const bool lead = IsDBCSLeadByteEx(page, static_cast<BYTE>(bytes[position])) != 0;
            width = lead && position + 1 < bytes.size() ? 2 : 1;
        } else {
            const auto first = static_cast<unsigned char>(bytes[position]);
            width = first >= 0xF0 ? 4 : first >= 0xE0 ? 3 : first >= 0xC0 ? 2 : 1;
            width = std::min(width, bytes.size() - position);
        }
        const std::u16string one = StrictToUtf16(page, bytes.substr(position, width));
        if (one.empty()) {
            result += u'\uFFFD';
            position += 1;
        } else {
            result += one;
            position += width;
        }
    }
    return result;
}

// An unpaired surrogate becomes '?', as a character outside the ANSI code page does (and as
// on Linux), instead of the U+FFFD that the UTF-8 conversion would make of it.
std::u16string WithoutLoneSurrogates(std::u16string_view text) {
    std::u16string result(text);
    for (std::size_t i = 0; i < result.size(); ++i) {
        const char16_t unit = result[i];
        const bool high = unit >= 0xD800 && unit <= 0xDBFF;
        const bool low = unit >= 0xDC00 && unit <= 0xDFFF;
        if (high && i + 1 < result.size() && result[i + 1] >= 0xDC00 && result[i + 1] <= 0xDFFF) {
            ++i;
        } else if (high || low) {
            result[i] = u'?';
        }
    }
    return result;
}

}  // namespace

std::optional<std::u16string> ToUtf16(CodePage from, std::string_view bytes) {
    if (bytes.empty()) {
        return std::u16string();
    }
    std::u16string result = StrictToUtf16(WindowsCodePage(from), bytes);
    return result.empty() ? ToUtf16Replacing(WindowsCodePage(from), bytes) : result;
}

std::optional<std::string> FromUtf16(CodePage to, std::u16string_view original) {
    std::string result;
    if (original.empty()) {
        return result;
    }
    const std::u16string text = WithoutLoneSurrogates(original);
    const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
    const int length = static_cast<int>(text.size());
    const int needed =
        WideCharToMultiByte(WindowsCodePage(to), 0, wide, length, nullptr, 0, nullptr, nullptr);
    if (needed <= 0) {
        return std::nullopt;
    }
    result.resize(static_cast<std::size_t>(needed));
    WideCharToMultiByte(WindowsCodePage(to), 0, wide, length, result.data(), needed, nullptr,
                        nullptr);
    return result;
}

}  // namespace kelvora::text
