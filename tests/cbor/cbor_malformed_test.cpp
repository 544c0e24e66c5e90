// Bytes a faulty or hostile key could send: every operation must stay inside the view, end,
// and report the item as missing.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "cbor/cbor_view.h"
#include "cbor/cbor_walker.h"
#include "cbor_test_bytes.h"

namespace kelvora {
namespace {

using test::Bytes;
using test::hex;
using test::viewOf;

struct MalformedCase {
    const char* why;
    const char* bytes;
};

const MalformedCase kMalformed[] = {
    {"truncated 1-byte argument", "18"},
    {"truncated 2-byte argument", "19 01"},
    {"truncated 4-byte argument", "1A 00 00 00"},
    {"tag without an item", "C1"},
    {"tag with a truncated item", "C1 19 00"},
    {"string beyond the buffer", "58 20 00 01"},
    {"string length near 2^32", "7A FF FF FF FF 61"},
    {"map value missing", "A1 01"},
    {"nested string beyond the buffer", "A1 01 42 00"},
    {"count beyond the buffer", "9A FF FF FF FF 00"},
    {"pair count beyond the buffer", "BA 7F FF FF FF 01 02"},
    {"8-byte argument", "1B 00 00 00 00 00 00 00 01"},
    {"reserved 28", "A1 01 1C"},
    {"reserved 29 as a key", "A1 1D 00"},
    {"reserved 30 in an indefinite array", "9F 1E FF"},
    {"double float in an indefinite map", "BF 01 FB 00 00 00 00 00 00 00 00 FF"},
    {"indefinite unsigned", "1F"},
    {"indefinite tag", "DF 01"},
    {"indefinite array without break", "9F 01 02"},
    {"indefinite string without break", "A1 01 5F 41 00"},
    {"break without indefinite level", "82 01 FF"},
    {"lone break", "FF"},
};

TEST(CborMalformedTest, EveryOperationReportsTheItemAsMissing) {
    for (const MalformedCase& c : kMalformed) {
        // An exact-size copy, so that AddressSanitizer sees any read past the end.
        const Bytes bytes = hex(c.bytes);
        const CborView view = viewOf(bytes);
        EXPECT_EQ(view.itemSize(), 0U) << c.why;
        EXPECT_TRUE(view.findKey(1).empty()) << c.why;
        EXPECT_TRUE(view.findKey(2).empty()) << c.why;
        EXPECT_TRUE(view.at(3).empty()) << c.why;
        const std::string dump = view.dumpText();
        EXPECT_TRUE(dump.ends_with("error\r\n") || dump.ends_with("double float\r\n"))
            << c.why << ": " << dump;
    }
}

TEST(CborMalformedTest, TruncatedScalarsReadAsMissing) {
    std::uint32_t u = 0;
    std::int64_t n = 0;
    const std::uint8_t* p = nullptr;
    const char* t = nullptr;
    std::uint32_t length = 0;
    EXPECT_FALSE(viewOf(hex("19 01")).getUnsigned(u));
    EXPECT_FALSE(viewOf(hex("38")).getNegative(n));
    EXPECT_FALSE(viewOf(hex("1B 00 00 00 00 00 00 00 01")).getUnsigned(u));
    EXPECT_FALSE(viewOf(hex("58 20 00")).getBytes(p, length));
    EXPECT_FALSE(viewOf(hex("63 61 62")).getText(t, length));
    EXPECT_EQ(viewOf(hex("99 01")).getCount(), 0U);
    EXPECT_EQ(u, 0U) << "a failed getter leaves its output alone";
}

TEST(CborMalformedTest, LookupStopsAtTheFirstUnreadableItem) {
    // Key 2 sits after a value the walk cannot step over.
    for (const char* bytes :
         {"A2 01 1C 02 03", "BF 01 FC 02 03 FF", "A2 01 5A 00 00 FF 00 02 03"}) {
        EXPECT_TRUE(viewOf(hex(bytes)).findKey(2).empty()) << bytes;
    }
}

Bytes nestedArrays(std::uint32_t depth, std::uint8_t arrayByte) {
    Bytes out(depth, arrayByte);
    out.push_back(0x00);
    if (arrayByte == 0x9F) {
        out.insert(out.end(), depth, 0xFF);
    }
    return out;
}

TEST(CborMalformedTest, NestingIsBoundedWithoutExhaustingTheStack) {
    // The walked item plus kMaxCborNesting open levels below it is the deepest accepted.
    const Bytes deepest = nestedArrays(kMaxCborNesting, 0x81);
    EXPECT_EQ(viewOf(deepest).itemSize(), deepest.size());
    const Bytes tooDeep = nestedArrays(kMaxCborNesting + 1, 0x81);
    EXPECT_EQ(viewOf(tooDeep).itemSize(), 0U);

    for (const std::uint8_t arrayByte : {std::uint8_t{0x81}, std::uint8_t{0x9F}}) {
        const Bytes hostile = nestedArrays(100000, arrayByte);
        const CborView view = viewOf(hostile);
        EXPECT_EQ(view.itemSize(), 0U);
        EXPECT_EQ(view.at(0).at(0).itemSize(), 0U);
        EXPECT_TRUE(view.dumpText().ends_with("error\r\n"));
    }
    // Tags on tags count as nesting too.
    const Bytes tags(100000, 0xC1);
    EXPECT_EQ(viewOf(tags).itemSize(), 0U);
}

TEST(CborMalformedTest, ItemSizeIgnoresWhatFollowsAndFailsWhenCutShort) {
    for (const char* text : {"A1 01 82 F5 40", "BF 01 5F 41 00 FF FF", "C1 82 19 01 00 60"}) {
        Bytes item = hex(text);
        const auto size = static_cast<std::uint32_t>(item.size());
        EXPECT_EQ(viewOf(item).itemSize(), size) << text;
        for (std::uint32_t cut = 1; cut < size; ++cut) {
            const Bytes prefix(item.begin(), item.begin() + cut);
            EXPECT_EQ(viewOf(prefix).itemSize(), 0U) << text << " cut to " << cut;
        }
        item.push_back(0x00);
        EXPECT_EQ(viewOf(item).itemSize(), size) << text;
    }
}

}  // namespace
}  // namespace kelvora
