// The code-page conversions on arbitrary bytes, read as UTF-8, as code page 932 and as
// UTF-16: none may fail on bad input, and an exact ANSI form must read back as the text it
// came from (the PIN of a legacy model is hashed from it).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/narrow_text.h"
#include "platform/text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kelvora::text;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::u16string units(size / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i) {
        units[i] = static_cast<char16_t>(data[2 * i] | data[2 * i + 1] << 8);
    }
    for (const CodePage page : {CodePage::Ansi, CodePage::Utf8}) {
        if (!ToUtf16(page, bytes) || !FromUtf16(page, units)) {
            std::abort();  // the converters exist here: only a missing one may fail
        }
    }
    std::string ansi;
    if (ExactUtf8ToAnsi(bytes, ansi) && AnsiToUtf8(ansi) != std::string(bytes)) {
        std::abort();
    }
    (void)kelvora::NarrowToUtf8(bytes);
    (void)kelvora::NarrowTextPrefixLength(bytes, size / 2);
    return 0;
}
