// Narrow text is what the tool keeps in char strings: UTF-8 on Linux, the ANSI code page
// (code page 932 on Japanese systems) on Windows. Byte limits must never cut a multi-byte
// character in half, or the rest of the text would decode as garbage.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kelvora {

// The length in bytes of the longest prefix of `text` that holds at most `maxBytes` bytes
// and ends on a character boundary of the platform's narrow encoding.
std::size_t NarrowTextPrefixLength(std::string_view text, std::size_t maxBytes);

// Narrow text (a product name as the HID backend read it) as UTF-8, decoded once by the
// platform's rule; bytes that are not text become U+FFFD. Nothing when the system cannot
// convert it.
std::optional<std::string> NarrowToUtf8(std::string_view text);

}  // namespace kelvora
