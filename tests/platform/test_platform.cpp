// Narrow-text cutting and debug line formatting.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/debug_output.h"
#include "platform/narrow_text.h"

namespace kelvora {
namespace {

TEST(NarrowText, NeverCutsACharacterInHalf) {
    struct Case {
        std::size_t maxBytes;
        std::size_t expected;
    };
#ifdef _WIN32
    // The ANSI code page of a Japanese system; the trail byte of ア (0x83 0x41) is a letter.
    const std::string text = "a\x83\x41\x8E\x77z";  // a ア 指 z
    const Case cases[] = {{0, 0}, {1, 1}, {2, 1}, {3, 3}, {4, 3}, {5, 5}, {6, 6}, {50, 6}};
#else
    const std::string text = "a\xC3\xA9\xE3\x82\xAD\xF0\x9F\x94\x91z";  // a é キ 🔑 z
    const Case cases[] = {{0, 0}, {1, 1}, {2, 1},   {3, 3},   {4, 3},  {5, 3},
                          {6, 6}, {9, 6}, {10, 10}, {11, 11}, {50, 11}};
#endif
    for (const Case c : cases) {
        EXPECT_EQ(NarrowTextPrefixLength(text, c.maxBytes), c.expected) << c.maxBytes;
    }
}

class Lines final : public DebugOutput {
  public:
    void Write(std::string_view line) override { lines.emplace_back(line); }
    std::vector<std::string> lines;
};

TEST(DebugPrintf, FormatsIntoOneLineOfAtMost1023Bytes) {
    Lines out;
    DebugPrintf(out, "ReadFile L:%d ERR: 0x%08X", 585, 0x1FU);
    DebugPrintf(out, "%s", std::string(5000, 'x').c_str());
    ASSERT_EQ(out.lines.size(), 2U);
    EXPECT_EQ(out.lines[0], "ReadFile L:585 ERR: 0x0000001F");
    EXPECT_EQ(out.lines[1], std::string(1023, 'x'));
}

}  // namespace
}  // namespace kelvora
