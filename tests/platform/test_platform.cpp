// Narrow-text cutting and debug line formatting.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/debug_output.h"
#include "platform/narrow_text.h"

namespace kelvora {
namespace {

TEST(NarrowText, NeverCutsAUtf8CharacterInHalf) {
    const std::string text = "a\xC3\xA9\xE3\x82\xAD\xF0\x9F\x94\x91z";  // a é キ 🔑 z
    struct Case {
        std::size_t maxBytes;
        std::size_t expected;
    };
    for (const Case c : {Case{0, 0}, Case{1, 1}, Case{2, 1}, Case{3, 3}, Case{4, 3}, Case{5, 3},
                         Case{6, 6}, Case{9, 6}, Case{10, 10}, Case{11, 11}, Case{50, 11}}) {
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
