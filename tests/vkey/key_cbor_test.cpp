#include <gtest/gtest.h>

#include <string>

#include "tests/common/bytes.h"
#include "vkey/key_cbor.h"

namespace kelvora::vkey {
namespace {

using kelvora::test::Hex;

TEST(KeyCbor, RoundTripsCanonicalRequestsByteForByte) {
    const char* const rows[] = {
        "a2 01 01 02 02",  // getKeyAgreement
        "a5 01 01 02 01 03 a1 03 19 1388 04 01 05 50 00112233445566778899aabbccddeeff",
        "a3 01 01 02 05 03 a2 01 42 0007 02 67 3132338e7796e4",  // name in code page 932
        "a1 20 3a 00010000",                                     // negative numbers
        "83 f4 f5 f6",                                           // false, true, null
    };
    for (const char* row : rows) {
        const Bytes input = Hex(row);
        std::optional<CborItem> item = DecodeCbor(input);
        ASSERT_TRUE(item) << row;
        EXPECT_EQ(EncodeCbor(*item), input) << row;
        EXPECT_EQ(item->raw(), input) << row;
    }
}

TEST(KeyCbor, RejectsMalformedInput) {
    const char* const rows[] = {
        "",                                  // nothing
        "a2 01 01 02",                       // map of two with one pair and a half
        "5a 00000010",                       // byte string longer than the input
        "9f 01 ff",                          // indefinite length
        "c1 01",                             // tag
        "f9 7c00",                           // half float
        "a2 01 01 01 01",                    // duplicate key
        "01 01",                             // trailing byte
        "9b ffffffffffffffff",               // absurd array length
        "81 81 81 81 81 81 81 81 81 81 01",  // nesting deeper than 8
        "1b ffffffffffffffff",               // unsigned beyond int64
    };
    for (const char* row : rows) {
        EXPECT_FALSE(DecodeCbor(Hex(row))) << row;
    }
}

TEST(KeyCbor, EncodesMapsInCanonicalKeyOrder) {
    const CborItem map = CborItem::Map({
        {CborItem::Text("clientPin"), CborItem::Bool(true)},
        {CborItem::Text("uv"), CborItem::Bool(false)},
        {CborItem::Int(-1), CborItem::Int(1)},
        {CborItem::Int(3), CborItem::Int(-25)},
        {CborItem::Int(1), CborItem::Int(2)},
    });
    EXPECT_EQ(EncodeCbor(map), Hex("a5 0102 033818 2001 627576f4 69636c69656e7450696ef5"));
}

TEST(KeyCbor, FindsMembersByIntegerAndText) {
    const std::optional<CborItem> map = DecodeCbor(Hex("a2 02 f5 62 7576 f4"));
    ASSERT_TRUE(map);
    ASSERT_NE(map->Find(2), nullptr);
    EXPECT_TRUE(map->Find(2)->boolean());
    ASSERT_NE(map->Find("uv"), nullptr);
    EXPECT_EQ(map->Find(3), nullptr);
    EXPECT_EQ(map->Find("u"), nullptr);
}

}  // namespace
}  // namespace kelvora::vkey
