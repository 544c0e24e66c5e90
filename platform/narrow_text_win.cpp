// Narrow text on Windows is the ANSI code page, a double-byte code page on Japanese
// systems: walk character by character from the start, because a trail byte can take
// the value of a lead byte and cannot be recognised on its own.
#include <windows.h>

#include "platform/narrow_text.h"

#include "platform/text.h"

namespace kelvora {

std::size_t NarrowTextPrefixLength(std::string_view text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) {
        return text.size();
    }
    std::size_t position = 0;
    while (position < text.size()) {
        const bool lead = IsDBCSLeadByteEx(CP_ACP, static_cast<BYTE>(text[position])) != 0;
        const std::size_t width = lead && position + 1 < text.size() ? 2 : 1;
        if (position + width > maxBytes) {
            break;
        }
        position += width;
    }
    return position;
}

std::optional<std::string> NarrowToUtf8(std::string_view text) {
    return text::AnsiToUtf8(text);
}

}  // namespace kelvora
