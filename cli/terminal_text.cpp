#include "cli/terminal_text.h"

#include <cstdio>

namespace kelvora::cli {
namespace {

constexpr unsigned char kFirstPrintable = 0x20;
constexpr unsigned char kDelete = 0x7F;
constexpr unsigned char kC1Lead = 0xC2;
constexpr unsigned char kC1First = 0x80;
constexpr unsigned char kC1Last = 0x9F;

std::string Escaped(const char* format, unsigned value) {
    char buffer[8];
    const int written = std::snprintf(buffer, sizeof buffer, format, value);
    return written > 0 ? std::string(buffer, static_cast<std::size_t>(written)) : std::string();
}

}  // namespace

std::string TerminalSafe(std::string_view text) {
    std::string safe;
    safe.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < kFirstPrintable || byte == kDelete) {
            safe += Escaped("\\x%02X", byte);
            continue;
        }
        if (byte == kC1Lead && i + 1 < text.size()) {
            const auto next = static_cast<unsigned char>(text[i + 1]);
            if (next >= kC1First && next <= kC1Last) {
                safe += Escaped("\\u%04X", next);
                ++i;
                continue;
            }
        }
        safe += text[i];
    }
    return safe;
}

}  // namespace kelvora::cli
