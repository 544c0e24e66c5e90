#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "cbor/cbor_constants.h"
#include "cbor/cbor_view.h"
#include "cbor_test_bytes.h"

namespace kelvora {
namespace {

using test::Bytes;
using test::hex;
using test::offsetIn;
using test::viewOf;

// getKeyAgreement response: {1: {1: 2, 3: -25, -1: 1, -2: x, -3: y}}.
Bytes keyAgreementResponse() {
    Bytes out = hex("A1 01 A5 01 02 03 38 18 20 01 21 58 20");
    for (std::uint8_t i = 0; i < 32; ++i) {
        out.push_back(i);
    }
    out.push_back(0x22);
    out.push_back(0x58);
    out.push_back(0x20);
    for (std::uint8_t i = 0; i < 32; ++i) {
        out.push_back(static_cast<std::uint8_t>(0x80 + i));
    }
    return out;
}

TEST(CborViewTest, NestedLookupReachesTheCoseKeyCoordinates) {
    const Bytes response = keyAgreementResponse();
    const CborView coseKey = viewOf(response).findKey(1);
    ASSERT_EQ(offsetIn(response, coseKey), 2);

    const std::uint8_t* x = nullptr;
    std::uint32_t xLength = 0;
    ASSERT_TRUE(coseKey.findKey(-2).getBytes(x, xLength));
    EXPECT_EQ(xLength, 32U);
    EXPECT_EQ(x - response.data(), 13);
    EXPECT_EQ(x[0], 0x00);
    EXPECT_EQ(x[31], 31);

    const std::uint8_t* y = nullptr;
    std::uint32_t yLength = 0;
    ASSERT_TRUE(coseKey.findKey(-3).getBytes(y, yLength));
    EXPECT_EQ(yLength, 32U);
    EXPECT_EQ(y[0], 0x80);

    std::int64_t alg = 0;
    ASSERT_TRUE(coseKey.findKey(3).getNegative(alg));
    EXPECT_EQ(alg, -25);
    EXPECT_TRUE(viewOf(response).findKey(-2).empty()) << "keys inside a value never match";
}

struct KeyCase {
    const char* map;
    std::int32_t key;
    long valueOffset;  // -1: not found
};

TEST(CborViewTest, FindKeyMatchesKeysOnlyAtKeyPositions) {
    const KeyCase cases[] = {
        {"A2 03 01 22 02", 3, 2},           // 0x03 is 3
        {"A2 03 01 22 02", -3, 4},          // 0x22 is -3
        {"A1 22 02", 3, -1},                // and not 3
        {"A2 01 02 02 03", 2, 4},           // the value 2 of key 1 is not a key
        {"A2 61 61 82 01 02 02 05", 2, 7},  // text key first; its array value skipped
        {"A2 01 A1 02 09 02 07", 2, 6},     // keys inside a nested map never match
        {"A2 01 5F 41 02 FF 02 07", 2, 7},  // indefinite byte string value skipped whole
        {"BF 01 02 03 04 FF", 3, 4},        // indefinite map
        {"A1 3A 7F FF FF FF 00", INT32_MIN, 6},
        {"A1 1A 80 00 00 00 00", INT32_MIN, -1},  // 2^31 is not INT32_MIN
        {"A0", 0, -1},
        {"A1 01", 1, -1},       // the value is missing
        {"82 01 02", 1, -1},    // not a map
        {"C1 A1 01 02", 1, 3},  // a tagged map
    };
    for (const KeyCase& c : cases) {
        const Bytes map = hex(c.map);
        EXPECT_EQ(offsetIn(map, viewOf(map).findKey(c.key)), c.valueOffset)
            << c.map << " key " << c.key;
    }
}

TEST(CborViewTest, FindTextLooksUpGetInfoOptions) {
    // {"up": true, "uv": false, "": 7, "clientPin": true, 1: "uv"}
    const Bytes options =
        hex("A5 62 75 70 F5 62 75 76 F4 60 07 69 63 6C 69 65 6E 74 50 69 6E F5 01 62 75 76");
    const CborView view = viewOf(options);
    EXPECT_EQ(view.findText("clientPin", 9).getSimple(), kCborTrue);
    EXPECT_EQ(view.findText("uv", 2).getSimple(), kCborFalse);
    EXPECT_EQ(offsetIn(options, view.findText("", 0)), 10);
    EXPECT_TRUE(view.findText("u", 1).empty()) << "a prefix is no match";
    EXPECT_TRUE(view.findText("plat", 4).empty());
    EXPECT_TRUE(view.findText(nullptr, 0).empty());
    EXPECT_TRUE(view.findText("uv", 3).empty()) << "lengths must agree";
    // The text "uv" in value position (of key 1) is never a key.
    const Bytes onlyValue = hex("A1 01 62 75 76");
    EXPECT_TRUE(viewOf(onlyValue).findText("uv", 2).empty());
}

TEST(CborViewTest, AtIndexesArraysIncludingNestedAndIndefiniteOnes) {
    const Bytes nested = hex("83 82 01 02 A1 01 02 03");
    EXPECT_EQ(offsetIn(nested, viewOf(nested).at(0)), 1) << "an element that is an array";
    EXPECT_EQ(offsetIn(nested, viewOf(nested).at(1)), 4);
    EXPECT_EQ(offsetIn(nested, viewOf(nested).at(2)), 7);
    EXPECT_TRUE(viewOf(nested).at(3).empty());

    const Bytes indefinite = hex("9F 01 02 FF");
    EXPECT_EQ(viewOf(indefinite).getCount(), kIndefiniteCount);
    EXPECT_EQ(offsetIn(indefinite, viewOf(indefinite).at(0)), 1);
    EXPECT_EQ(offsetIn(indefinite, viewOf(indefinite).at(1)), 2);
    EXPECT_TRUE(viewOf(indefinite).at(2).empty()) << "the break is no element";

    const Bytes notArray = hex("A1 00 01");
    EXPECT_TRUE(viewOf(notArray).at(0).empty());
    const Bytes empty = hex("80");
    EXPECT_TRUE(viewOf(empty).at(0).empty());
}

TEST(CborViewTest, GettersAnswerOnlyForTheirType) {
    const Bytes unsignedItem = hex("1A 00 01 00 00");
    const Bytes negative = hex("3A FF FF FF FF");
    const Bytes bytes = hex("43 01 02 03");
    const Bytes text = hex("63 61 62 63");
    const Bytes integer21 = hex("15");
    const Bytes indefiniteBytes = hex("5F 41 01 FF");

    std::uint32_t u = 0;
    std::int64_t n = 0;
    const std::uint8_t* p = nullptr;
    const char* t = nullptr;
    std::uint32_t length = 0;
    std::string s;

    EXPECT_TRUE(viewOf(unsignedItem).getUnsigned(u));
    EXPECT_EQ(u, 65536U);
    EXPECT_FALSE(viewOf(unsignedItem).getNegative(n));
    EXPECT_TRUE(viewOf(negative).getNegative(n));
    EXPECT_EQ(n, -4294967296LL) << "no 32-bit overflow";
    EXPECT_FALSE(viewOf(negative).getUnsigned(u));

    EXPECT_TRUE(viewOf(bytes).getBytes(p, length));
    EXPECT_EQ(p, bytes.data() + 1);
    EXPECT_EQ(length, 3U);
    EXPECT_FALSE(viewOf(bytes).getText(t, length));
    EXPECT_TRUE(viewOf(text).getTextString(s));
    EXPECT_EQ(s, "abc");
    EXPECT_FALSE(viewOf(text).getBytes(p, length));
    EXPECT_FALSE(viewOf(indefiniteBytes).getBytes(p, length))
        << "an indefinite string has no single content to point at";

    EXPECT_EQ(viewOf(integer21).getSimple(), CborView::kNotSimple) << "21 is not true";
    EXPECT_EQ(CborView().getSimple(), kCborNull);
    EXPECT_FALSE(CborView().getBytes(p, length));
    EXPECT_FALSE(CborView().getUnsigned(u));
    EXPECT_EQ(CborView().getMajorType(), toByte(CborMajorType::kSimple));
    EXPECT_EQ(CborView().getTag(), kCborNoTag);
}

TEST(CborViewTest, CountAndTagOfTheFirstItem) {
    struct Case {
        const char* item;
        std::uint32_t count;
        std::uint32_t tag;
        std::uint8_t majorType;
    };
    const Case cases[] = {
        {"43 01 02 03", 3, kCborNoTag, 2},
        {"60", 0, kCborNoTag, 3},
        {"98 20", 32, kCborNoTag, 4},
        {"A2 01 02 03 04", 2, kCborNoTag, 5},
        {"BF FF", kIndefiniteCount, kCborNoTag, 5},
        {"7F FF", kIndefiniteCount, kCborNoTag, 3},
        {"18 64", 0, kCborNoTag, 0},
        {"D8 20 63 61 62 63", 3, 32, 3},
        {"C1 C2 01", 0, 1, 6},  // a tag on a tag stays major type 6
    };
    for (const Case& c : cases) {
        const Bytes item = hex(c.item);
        EXPECT_EQ(viewOf(item).getCount(), c.count) << c.item;
        EXPECT_EQ(viewOf(item).getTag(), c.tag) << c.item;
        EXPECT_EQ(viewOf(item).getMajorType(), c.majorType) << c.item;
    }
}

TEST(CborViewTest, ItemSizeCoversNestedContent) {
    struct Case {
        const char* item;
        std::uint32_t size;
    };
    const Case cases[] = {
        {"00 FF", 1},
        {"19 01 00", 3},
        {"42 01 02 00", 3},
        {"80 00", 1},
        {"A1 01 82 F5 40 00", 5},
        {"9F 01 9F FF 02 FF 00", 6},
        {"5F 41 01 42 02 03 FF 00", 7},
        {"BF 01 A1 02 03 FF", 6},
        {"C1 C2 82 01 02 00", 5},  // nested tags wrap the one item after them
        {"F9 3C 00 00", 3},        // half float: its two bytes are the argument
        {"F8 FF", 2},
    };
    for (const Case& c : cases) {
        const Bytes item = hex(c.item);
        EXPECT_EQ(viewOf(item).itemSize(), c.size) << c.item;
    }
}

TEST(CborViewTest, LookupsWorkWithinAMapThatIsAValueOfAnIndefiniteMap) {
    // {_ 1: [_ "a", {7: h'00'}], 2: 3}
    const Bytes response = hex("BF 01 9F 61 61 A1 07 41 00 FF 02 03 FF");
    const CborView list = viewOf(response).findKey(1);
    ASSERT_EQ(offsetIn(response, list), 2);
    const std::uint8_t* p = nullptr;
    std::uint32_t length = 0;
    EXPECT_TRUE(list.at(1).findKey(7).getBytes(p, length));
    EXPECT_EQ(length, 1U);
    std::uint32_t value = 0;
    EXPECT_TRUE(viewOf(response).findKey(2).getUnsigned(value));
    EXPECT_EQ(value, 3U);
}

}  // namespace
}  // namespace kelvora
