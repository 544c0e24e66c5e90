// Text helpers shared by every layer: code-page conversion through UTF-16, hexadecimal
// text, trimming.
//
// The windows work in UTF-16. PINs go to CTAP2 keys in UTF-8; fingerprint names, the HID
// product name and the PINs of the legacy models are in the ANSI code page: the system's
// code page on Windows, code page 932 on Linux so that names written by either platform read
// back the same. Conversions never fail: bytes that are not valid in the source encoding
// become U+FFFD, and characters the target code page lacks become '?', as Windows does.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kelvora::text {

enum class CodePage {
    Ansi,  // CP_ACP on Windows, code page 932 elsewhere
    Utf8,
};

[[nodiscard]] std::optional<std::u16string> ToUtf16(CodePage from, std::string_view bytes);
[[nodiscard]] std::optional<std::string> FromUtf16(CodePage to, std::u16string_view text);

[[nodiscard]] std::optional<std::string> AnsiToUtf8(std::string_view ansi);
[[nodiscard]] std::optional<std::string> Utf8ToAnsi(std::string_view utf8);

// For text shown to a person: the converted text, or `fallback` when the system cannot
// convert it.
std::u16string ToUtf16Or(CodePage from, std::string_view bytes, std::u16string_view fallback);
std::string FromUtf16Or(CodePage to, std::u16string_view text, std::string_view fallback);

// The ANSI form of UTF-8 text only when it is exact: the conversion worked, the input was
// valid UTF-8 and every character is in the code page, so that the ANSI bytes read back as
// the same text. Characters outside the code page would all become '?', making "üüüü" and
// "????" one secret. `out` is overwritten; the intermediate forms are wiped.
[[nodiscard]] bool ExactUtf8ToAnsi(std::string_view utf8, std::string& out);

enum class HexCase { Upper, Lower };

// Two digits per byte ("%02X" or "%02x"), no separators.
std::string BytesToHex(std::span<const std::uint8_t> bytes, HexCase letterCase = HexCase::Upper);

// Two digits per byte, either letter case, no separators. Odd lengths and anything that is
// not a hex digit give nullopt.
std::optional<std::vector<std::uint8_t>> HexToBytes(std::string_view hex);

// Removes leading and trailing " \t\r\n".
std::string_view Trim(std::string_view text);
std::u16string_view Trim(std::u16string_view text);

}  // namespace kelvora::text
