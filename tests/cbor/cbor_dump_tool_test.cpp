// The dump tool's input parsing and its built-in sample response.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cbor/cbor_constants.h"
#include "cbor/cbor_view.h"
#include "cbor/tools/hex_input.h"
#include "cbor/tools/sample_get_info.h"
#include "cbor_test_bytes.h"

namespace kelvora {
namespace {

TEST(CborDumpToolTest, HexInputAcceptsEitherCaseAndBlanksBetweenPairs) {
    struct Case {
        const char* text;
        bool ok;
        const char* bytes;
    };
    const Case cases[] = {
        {"a10102", true, "A1 01 02"}, {"A1 01\t02\n", true, "A1 01 02"},
        {"  Ff ", true, "FF"},        {"", true, ""},
        {"a1 0", false, "A1"},        {"a 1", false, ""},
        {"0x01", false, ""},          {"12 zz", false, "12"},
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> out;
        std::string error;
        EXPECT_EQ(appendHexBytes(c.text, out, error), c.ok) << c.text;
        EXPECT_EQ(test::toHex(out), c.bytes) << c.text;
        EXPECT_EQ(error.empty(), c.ok) << c.text;
    }
}

TEST(CborDumpToolTest, SampleIsACompleteGetInfoResponse) {
    const std::vector<std::uint8_t> sample = sampleGetInfoResponse();
    const CborView info(sample.data(), static_cast<std::uint32_t>(sample.size()));
    EXPECT_EQ(info.itemSize(), sample.size());
    std::string version;
    EXPECT_TRUE(info.findKey(1).at(0).getTextString(version));
    EXPECT_EQ(version, "FIDO_2_0");
    EXPECT_EQ(info.findKey(3).getCount(), 16U);
    const CborView options = info.findKey(4);
    EXPECT_EQ(options.findText("clientPin", 9).getSimple(), kCborTrue);
    EXPECT_EQ(options.findText("uv", 2).getSimple(), kCborTrue);
    EXPECT_EQ(options.findText("userVerificationMgmtPreview", 27).getSimple(), kCborTrue);
    std::uint32_t value = 0;
    EXPECT_TRUE(info.findKey(5).getUnsigned(value));
    EXPECT_EQ(value, 1200U);
    EXPECT_TRUE(info.findKey(6).at(0).getUnsigned(value));
    EXPECT_EQ(value, 1U);
}

}  // namespace
}  // namespace kelvora
