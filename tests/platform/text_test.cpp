#include "platform/text.h"

#include <gtest/gtest.h>

namespace kelvora::text {
namespace {

struct CodePageCase {
    const char* name;
    std::string ansi;  // code page 932 bytes
    std::u16string utf16;
};

void PrintTo(const CodePageCase& c, std::ostream* os) {
    *os << c.name;
}

class AnsiCodePage : public ::testing::TestWithParam<CodePageCase> {};

TEST_P(AnsiCodePage, RoundTripsThroughUtf16) {
    const CodePageCase& c = GetParam();
    EXPECT_EQ(ToUtf16(CodePage::Ansi, c.ansi), c.utf16);
    EXPECT_EQ(FromUtf16(CodePage::Ansi, c.utf16), c.ansi);
    // A name written in UTF-8 by another client reaches the key in the same bytes.
    const std::string utf8 = FromUtf16(CodePage::Utf8, c.utf16).value();
    EXPECT_EQ(Utf8ToAnsi(utf8), c.ansi);
    EXPECT_EQ(AnsiToUtf8(c.ansi), utf8);
    std::string exact = "stale";
    EXPECT_TRUE(ExactUtf8ToAnsi(utf8, exact));
    EXPECT_EQ(exact, c.ansi);
}

INSTANTIATE_TEST_SUITE_P(Names, AnsiCodePage,
                         ::testing::Values(CodePageCase{"empty", "", u""},
                                           CodePageCase{"ascii", "Fingerprint", u"Fingerprint"},
                                           CodePageCase{"kanji", "\x8E\x77\x96\xE4", u"指紋"},
                                           CodePageCase{"katakana", "\x83\x65\x83\x58\x83\x67",
                                                        u"テスト"},
                                           CodePageCase{"mixed",
                                                        "12\x8E\x77\x96\xE4"
                                                        "3",
                                                        u"12指紋3"},
                                           CodePageCase{"nec_special", "\x87\x40", u"①"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CodePages, OnlyExactAnsiFormsAreGiven) {
    // Each would reach the key as '?' bytes, the same as "????" or one another.
    for (const char* utf8 : {"\xC3\xBC\xC3\xBC", "x\xF0\x9F\x98\x80", "a\xFF", "\xEF\xBF\xBD"}) {
        std::string ansi = "stale";
        EXPECT_FALSE(ExactUtf8ToAnsi(utf8, ansi)) << utf8;
        EXPECT_EQ(ansi, "") << utf8;
    }
}

TEST(CodePages, InvalidInputIsReplacedNotRefused) {
    // A lone lead byte and a byte that starts nothing in code page 932.
    EXPECT_EQ(ToUtf16(CodePage::Ansi, "A\x81"), u"A\uFFFD");
    EXPECT_EQ(ToUtf16Or(CodePage::Ansi, "A\x81", u"x"), u"A\uFFFD");
    EXPECT_EQ(ToUtf16(CodePage::Utf8,
                      "a\xFF"
                      "b"),
              u"a\uFFFD"
              u"b");
    // Characters outside code page 932 and a lone surrogate become '?'.
    EXPECT_EQ(FromUtf16(CodePage::Ansi, u"x\U0001F600y"), "x??y");
    EXPECT_EQ(FromUtf16(CodePage::Utf8, std::u16string(1, char16_t{0xD800})), "?");
}

TEST(Hex, BothCasesAndRejects) {
    const std::vector<std::uint8_t> bytes = {0x00, 0x9F, 0xAB, 0xFF};
    EXPECT_EQ(BytesToHex(bytes), "009FABFF");
    EXPECT_EQ(BytesToHex(bytes, HexCase::Lower), "009fabff");
    EXPECT_EQ(HexToBytes("009fAbFF"), bytes);
    EXPECT_EQ(HexToBytes(""), std::vector<std::uint8_t>{});
    EXPECT_EQ(HexToBytes("ABC"), std::nullopt);
    EXPECT_EQ(HexToBytes("0G"), std::nullopt);
    EXPECT_EQ(HexToBytes("0 "), std::nullopt);
}

TEST(Trim, OnlyTheFourSpaceCharacters) {
    EXPECT_EQ(Trim(std::string_view(" \t\r\nname \n")), "name");
    EXPECT_EQ(Trim(std::string_view("\v name\f")), "\v name\f");
    EXPECT_EQ(Trim(std::string_view(" \t ")), "");
    EXPECT_EQ(Trim(std::u16string_view(u"\u3000指紋 \r\n")), u"\u3000指紋");
}

}  // namespace
}  // namespace kelvora::text
