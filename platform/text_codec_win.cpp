// Code-page conversion with the Windows API: CP_ACP is the ANSI code page of the system.
#include <windows.h>

#include "platform/text.h"

namespace kelvora::text {
namespace {

UINT WindowsCodePage(CodePage page) {
    return page == CodePage::Ansi ? CP_ACP : CP_UTF8;
}

}  // namespace

std::u16string ToUtf16(CodePage from, std::string_view bytes) {
    std::u16string result;
    if (bytes.empty()) {
        return result;
    }
    const int length = static_cast<int>(bytes.size());
    const int needed =
        MultiByteToWideChar(WindowsCodePage(from), 0, bytes.data(), length, nullptr, 0);
    if (needed <= 0) {
        return result;
    }
    result.resize(static_cast<std::size_t>(needed));
    MultiByteToWideChar(WindowsCodePage(from), 0, bytes.data(), length,
                        reinterpret_cast<wchar_t*>(result.data()), needed);
    return result;
}

std::string FromUtf16(CodePage to, std::u16string_view text) {
    std::string result;
    if (text.empty()) {
        return result;
    }
    const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
    const int length = static_cast<int>(text.size());
    const int needed =
        WideCharToMultiByte(WindowsCodePage(to), 0, wide, length, nullptr, 0, nullptr, nullptr);
    if (needed <= 0) {
        return result;
    }
    result.resize(static_cast<std::size_t>(needed));
    WideCharToMultiByte(WindowsCodePage(to), 0, wide, length, result.data(), needed, nullptr,
                        nullptr);
    return result;
}

}  // namespace kelvora::text
