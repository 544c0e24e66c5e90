// Code-page conversion with iconv. The ANSI code page is code page 932 (the Japanese Windows
// code page), so that names a Windows machine wrote on a key read back the same here.
#include <iconv.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <memory>

#include "platform/text.h"

namespace kelvora::text {
namespace {

constexpr char16_t kReplacement = u'\uFFFD';
constexpr char kDefaultChar = '?';

const char* IconvName(CodePage page) {
    return page == CodePage::Ansi ? "CP932" : "UTF-8";
}

// Owns one iconv descriptor.
class Converter {
  public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter() {
        if (Valid()) {
            iconv_close(cd_);
        }
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool Valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    void Reset() { iconv(cd_, nullptr, nullptr, nullptr, nullptr); }

    // Converts as much as possible. Returns false when the input has a sequence that cannot
    // be converted; `in`/`inLeft` then point at it.
    bool Run(char*& in, std::size_t& inLeft, std::string& out) {
        char buffer[256];
        while (inLeft > 0) {
            char* outPtr = buffer;
            std::size_t outLeft = sizeof(buffer);
            const std::size_t rc = iconv(cd_, &in, &inLeft, &outPtr, &outLeft);
            out.append(buffer, sizeof(buffer) - outLeft);
            if (rc == static_cast<std::size_t>(-1) && errno != E2BIG) {
                iconv(cd_, nullptr, nullptr, nullptr, nullptr);  // reset shift state
                return false;
            }
        }
        return true;
    }

  private:
    iconv_t cd_;
};

enum class Direction { kToUtf16, kFromUtf16 };

// Opening a descriptor costs more than converting a fingerprint name, so each thread keeps the
// four it may need (a descriptor must never be used by two threads at once).
Converter& ConverterFor(CodePage page, Direction direction) {
    thread_local std::array<std::unique_ptr<Converter>, 4> cache;
    const std::size_t slot =
        (page == CodePage::Ansi ? 0U : 2U) + (direction == Direction::kToUtf16 ? 0U : 1U);
    if (!cache[slot]) {
        cache[slot] = direction == Direction::kToUtf16
                          ? std::make_unique<Converter>("UTF-16LE", IconvName(page))
                          : std::make_unique<Converter>(IconvName(page), "UTF-16LE");
    }
    if (cache[slot]->Valid()) {
        cache[slot]->Reset();
    }
    return *cache[slot];
}

}  // namespace

std::optional<std::u16string> ToUtf16(CodePage from, std::string_view bytes) {
    Converter& converter = ConverterFor(from, Direction::kToUtf16);
    if (!converter.Valid()) {
        return std::nullopt;
    }
    std::u16string result;
    std::string input(bytes);
    char* in = input.data();
    std::size_t inLeft = input.size();
    std::string utf16;
    while (!converter.Run(in, inLeft, utf16)) {
        // One undecodable byte becomes one replacement character.
        utf16.push_back(static_cast<char>(kReplacement & 0xFF));
        utf16.push_back(static_cast<char>(kReplacement >> 8));
        ++in;
        --inLeft;
    }
    result.resize(utf16.size() / 2);
    for (std::size_t i = 0; i < result.size(); ++i) {
        result[i] = static_cast<char16_t>(static_cast<unsigned char>(utf16[2 * i]) |
                                          static_cast<unsigned char>(utf16[2 * i + 1]) << 8);
    }
    return result;
}

std::optional<std::string> FromUtf16(CodePage to, std::u16string_view text) {
    Converter& converter = ConverterFor(to, Direction::kFromUtf16);
    if (!converter.Valid()) {
        return std::nullopt;
    }
    std::string result;
    std::string input;
    input.reserve(text.size() * 2);
    for (const char16_t c : text) {
        input.push_back(static_cast<char>(c & 0xFF));
        input.push_back(static_cast<char>(c >> 8));
    }
    char* in = input.data();
    std::size_t inLeft = input.size();
    while (!converter.Run(in, inLeft, result)) {
        // A character the code page lacks, or a lone surrogate: one default character for
        // the UTF-16 unit, as WideCharToMultiByte does.
        result.push_back(kDefaultChar);
        const std::size_t skip = inLeft < 2 ? inLeft : 2;
        in += skip;
        inLeft -= skip;
    }
    return result;
}

}  // namespace kelvora::text
