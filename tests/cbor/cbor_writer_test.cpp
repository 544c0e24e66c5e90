#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cstdint>

#include "cbor/cbor_view.h"
#include "cbor/cbor_writer.h"
#include "cbor_test_bytes.h"

namespace kelvora {
namespace {

using test::Bytes;
using test::hex;
using test::toHex;

Bytes written(const std::array<std::uint8_t, 64>& buffer, const CborWriter& writer) {
    return {buffer.begin(), buffer.begin() + writer.length()};
}

struct IntCase {
    std::int32_t value;
    const char* encoding;
};

TEST(CborWriterTest, IntegersTakeTheShortestHead) {
    const IntCase cases[] = {
        {0, "00"},
        {23, "17"},
        {24, "18 18"},
        {255, "18 FF"},
        {256, "19 01 00"},
        {65535, "19 FF FF"},
        {65536, "1A 00 01 00 00"},
        {INT32_MAX, "1A 7F FF FF FF"},
        {-1, "20"},
        {-3, "22"},
        {-24, "37"},
        {-25, "38 18"},
        {-256, "38 FF"},
        {-257, "39 01 00"},
        {INT32_MIN, "3A 7F FF FF FF"},
    };
    for (const IntCase& c : cases) {
        std::array<std::uint8_t, 64> buffer{};
        CborWriter writer(buffer.data(), buffer.size());
        writer.putInt(c.value);
        EXPECT_EQ(toHex(written(buffer, writer)), c.encoding) << "value " << c.value;
    }
}

TEST(CborWriterTest, HeadsOfEveryOperation) {
    const std::array<std::uint8_t, 64> payload = {0xAB, 0xCD};
    struct Case {
        const char* name;
        void (*write)(CborWriter&, const std::uint8_t*);
        const char* encoding;
    };
    const Case cases[] = {
        {"bytes 2", [](CborWriter& w, const std::uint8_t* p) { w.putBytes(p, 2); }, "42 AB CD"},
        {"bytes 0 from null", [](CborWriter& w, const std::uint8_t*) { w.putBytes(nullptr, 0); },
         "40"},
        {"text", [](CborWriter& w, const std::uint8_t*) { w.putText("uv"); }, "62 75 76"},
        {"array 24", [](CborWriter& w, const std::uint8_t*) { w.beginArray(24); }, "98 18"},
        {"array max", [](CborWriter& w, const std::uint8_t*) { w.beginArray(UINT32_MAX); },
         "9A FF FF FF FF"},
        {"array 4-byte", [](CborWriter& w, const std::uint8_t*) { w.beginArray(0x12345678); },
         "9A 12 34 56 78"},
        {"map 2", [](CborWriter& w, const std::uint8_t*) { w.beginMap(2); }, "A2"},
        {"tag 1", [](CborWriter& w, const std::uint8_t*) { w.putTag(1); }, "C1"},
        {"tag 1000", [](CborWriter& w, const std::uint8_t*) { w.putTag(1000); }, "D9 03 E8"},
        {"false", [](CborWriter& w, const std::uint8_t*) { w.putSimple(20); }, "F4"},
        {"true", [](CborWriter& w, const std::uint8_t*) { w.putSimple(21); }, "F5"},
        {"undefined", [](CborWriter& w, const std::uint8_t*) { w.putSimple(23); }, "F7"},
        {"simple 24 refused", [](CborWriter& w, const std::uint8_t*) { w.putSimple(24); }, ""},
        {"simple 31 refused", [](CborWriter& w, const std::uint8_t*) { w.putSimple(31); }, ""},
        {"indefinite",
         [](CborWriter& w, const std::uint8_t*) {
             w.beginIndefiniteArray().beginIndefiniteMap().putBreak().putBreak();
         },
         "9F BF FF FF"},
    };
    for (const Case& c : cases) {
        std::array<std::uint8_t, 64> buffer{};
        CborWriter writer(buffer.data(), buffer.size());
        c.write(writer, payload.data());
        EXPECT_EQ(toHex(written(buffer, writer)), c.encoding) << c.name;
    }
}

TEST(CborWriterTest, ChainBuildsAMapOfPairs) {
    std::array<std::uint8_t, 64> buffer{};
    CborWriter writer(buffer.data(), buffer.size());
    writer.beginMap(2).putInt(1).putInt(1).putInt(2).putInt(2);
    EXPECT_EQ(toHex(written(buffer, writer)), "A2 01 01 02 02");
}

TEST(CborWriterTest, LongByteStringsCarryAOneByteLength) {
    std::array<std::uint8_t, 64> payload{};
    for (const std::uint32_t n : {32U, 64U}) {
        std::array<std::uint8_t, 80> buffer{};
        CborWriter writer(buffer.data(), buffer.size());
        writer.putBytes(payload.data(), n);
        ASSERT_EQ(writer.length(), n + 2);
        EXPECT_EQ(buffer[0], 0x58);
        EXPECT_EQ(buffer[1], n);
    }
}

TEST(CborWriterTest, ItemThatDoesNotFitIsLeftOutWhole) {
    const std::array<std::uint8_t, 3> payload = {1, 2, 3};
    std::array<std::uint8_t, 8> buffer{};
    buffer.fill(0xEE);

    CborWriter writer(buffer.data(), 5);
    writer.putInt(1).putInt(2);  // 3 bytes of room left
    writer.putBytes(payload.data(), 3);
    EXPECT_EQ(writer.length(), 2U) << "4 bytes needed, 3 left";
    EXPECT_EQ(buffer[2], 0xEE) << "not even the head is written";
    writer.putBytes(payload.data(), 2);
    EXPECT_EQ(writer.length(), 5U) << "exactly fits";

    // The chain goes on after a refusal: later items that fit are still written.
    CborWriter partial(buffer.data(), 2);
    partial.putInt(256).putInt(1).putText("ab").putSimple(21);
    EXPECT_EQ(toHex(buffer.data(), partial.length()), "01 F5");

    // A length near 2^32 must not wrap the room check around.
    CborWriter huge(buffer.data(), 8);
    huge.putBytes(payload.data(), UINT32_MAX).putText("x", UINT32_MAX - 1);
    EXPECT_EQ(huge.length(), 0U);

    // One-byte items stop at the capacity.
    buffer.fill(0xEE);
    CborWriter full(buffer.data(), 1);
    full.putBreak().putBreak().beginIndefiniteMap().putSimple(20);
    EXPECT_EQ(full.length(), 1U);
    EXPECT_EQ(buffer[1], 0xEE);
}

TEST(CborWriterTest, NullBufferOrNullSourceWritesNothing) {
    const std::array<std::uint8_t, 4> payload = {1, 2, 3, 4};
    CborWriter detached;
    detached.beginMap(1).putInt(1).putBytes(payload.data(), 4).putSimple(21).putBreak();
    EXPECT_EQ(detached.length(), 0U);
    EXPECT_EQ(detached.putRaw(payload.data(), 4), 0U);

    std::array<std::uint8_t, 16> buffer{};
    CborWriter writer(buffer.data(), buffer.size());
    writer.putInt(7).reset().putInt(8);
    EXPECT_EQ(writer.length(), 0U);
    EXPECT_EQ(buffer[1], 0) << "nothing written after reset";

    writer.init(buffer.data(), buffer.size());
    writer.putBytes(nullptr, 4).putText(nullptr, 2);
    EXPECT_EQ(writer.length(), 0U) << "a null source with a length is refused";
}

TEST(CborWriterTest, PutRawCopiesWhatFits) {
    const std::array<std::uint8_t, 4> raw = {0xA1, 0x01, 0xF5, 0x00};
    std::array<std::uint8_t, 6> buffer{};
    CborWriter writer(buffer.data(), buffer.size());
    EXPECT_EQ(writer.putRaw(raw.data(), 3), 3U);
    EXPECT_EQ(writer.putRaw(raw.data(), 4), 0U);
    EXPECT_EQ(writer.putRaw(nullptr, 1), 0U);
    EXPECT_EQ(writer.putRaw(raw.data(), 3), 3U);
    EXPECT_EQ(toHex(buffer.data(), writer.length()), "A1 01 F5 A1 01 F5");
}

// A ClientPIN setPIN request (CTAP 2.1 §6.5.5) written after its command byte, then read
// back member by member the way a key would.
TEST(CborWriterTest, SetPinRequestReadsBack) {
    std::array<std::uint8_t, 32> x{};
    std::array<std::uint8_t, 32> y{};
    std::array<std::uint8_t, 16> pinAuth{};
    std::array<std::uint8_t, 64> newPinEnc{};
    x.fill(0x11);
    y.fill(0x22);
    pinAuth.fill(0x33);
    newPinEnc.fill(0x44);

    std::array<std::uint8_t, 1024> request{};
    request[0] = 0x06;  // authenticatorClientPIN
    CborWriter writer(request.data() + 1, request.size() - 1);
    writer.beginMap(5)
        .putInt(1)
        .putInt(1)
        .putInt(2)
        .putInt(3)
        .putInt(3)
        .beginMap(5)
        .putInt(1)
        .putInt(2)
        .putInt(3)
        .putInt(-25)
        .putInt(-1)
        .putInt(1)
        .putInt(-2)
        .putBytes(x.data(), 32)
        .putInt(-3)
        .putBytes(y.data(), 32)
        .putInt(4)
        .putBytes(pinAuth.data(), 16)
        .putInt(5)
        .putBytes(newPinEnc.data(), 64);

    const CborView body(request.data() + 1, writer.length());
    EXPECT_EQ(body.itemSize(), writer.length());
    std::uint32_t value = 0;
    EXPECT_TRUE(body.findKey(2).getUnsigned(value));
    EXPECT_EQ(value, 3U);
    std::int64_t alg = 0;
    EXPECT_TRUE(body.findKey(3).findKey(3).getNegative(alg));
    EXPECT_EQ(alg, -25);
    const std::uint8_t* bytes = nullptr;
    std::uint32_t length = 0;
    ASSERT_TRUE(body.findKey(3).findKey(-3).getBytes(bytes, length));
    EXPECT_EQ(Bytes(bytes, bytes + length), Bytes(y.begin(), y.end()));
    ASSERT_TRUE(body.findKey(5).getBytes(bytes, length));
    EXPECT_EQ(Bytes(bytes, bytes + length), Bytes(newPinEnc.begin(), newPinEnc.end()));
}

}  // namespace
}  // namespace kelvora
