// GetInfo: which options set which flags, on CTAP2 keys and on the legacy models.
#include "ctap/get_info.h"

#include <gmock/gmock.h>

#include "ctap/get_info_details.h"

#include <ostream>

#include "replay_key.h"

namespace kelvora::test {
namespace {

// A GetInfo answer: status 0 and {4: options}, the options given as CBOR hex.
Bytes InfoAnswer(std::size_t optionCount, const std::string& optionsHex) {
    Bytes answer = Hex("00 A2 01 81 68");
    const std::string version = "FIDO_2_0";
    answer.insert(answer.end(), version.begin(), version.end());
    answer.push_back(0x04);
    answer.push_back(static_cast<std::uint8_t>(0xA0 + optionCount));
    const Bytes options = Hex(optionsHex);
    answer.insert(answer.end(), options.begin(), options.end());
    return answer;
}

// Option keys and values as CBOR hex.
const std::string kClientPin = "69 636C69656E7450696E";  // "clientPin"
const std::string kUv = "62 7576";                       // "uv"
const std::string kPreview = "78 1B 75736572566572696669636174696F6E4D676D7450726576696577";
const std::string kBioEnroll = "69 62696F456E726F6C6C";  // "bioEnroll"
const std::string kCredMgmt = "68 637265644D676D74";     // "credMgmt"
const std::string kCredMgmtPreview = "75 63726564656E7469616C4D676D7450726576696577";
const std::string kTrue = " F5 ";
const std::string kFalse = " F4 ";
const std::string kNull = " F6 ";

struct InfoCase {
    const char* name;
    Bytes answer;
    bool pinSet;
    bool uv;
    bool bio;
    std::uint8_t passkeyCommand = 0;
    friend void PrintTo(const InfoCase& c, std::ostream* os) { *os << c.name; }
};

class GetInfoOptions : public SessionTest, public ::testing::WithParamInterface<InfoCase> {};

TEST_P(GetInfoOptions, SetOnlyWhatTheKeyReports) {
    const InfoCase& c = GetParam();
    AttachWithChannel();
    keyState.bioEnrollmentSupported = !c.bio;
    key->QueueMessage(kChannel, ctaphid::kCbor, c.answer);
    AuthenticatorCaps caps;
    EXPECT_EQ(GetAuthenticatorInfo(device, caps), 0);
    EXPECT_EQ(caps.pinSet, c.pinSet ? 1 : 0);
    EXPECT_EQ(caps.uvConfigured, c.uv ? 1 : 0);
    EXPECT_EQ(keyState.pinSet, c.pinSet);
    EXPECT_EQ(keyState.uvConfigured, c.uv);
    EXPECT_EQ(keyState.bioEnrollmentSupported, c.bio);
    EXPECT_EQ(keyState.passkeyCommand, c.passkeyCommand);
    const auto sent = SentMessages(*key);
    ASSERT_EQ(sent.size(), 1U);
    EXPECT_EQ(sent[0].payload, Bytes{0x04});
}

INSTANTIATE_TEST_SUITE_P(
    Answers, GetInfoOptions,
    ::testing::Values(
        InfoCase{"NoPinYet", InfoAnswer(2, kClientPin + kFalse + kUv + kFalse), false, false,
                 false},
        InfoCase{"PinAndFingerprints",
                 InfoAnswer(3, kClientPin + kTrue + kUv + kTrue + kPreview + kTrue), true, true,
                 true},
        InfoCase{"BioEnrollOnly", InfoAnswer(1, kBioEnroll + kTrue), false, false, true},
        InfoCase{"PreviewFalse", InfoAnswer(1, kPreview + kFalse), false, false, true},
        InfoCase{"BioEnrollFalse", InfoAnswer(1, kBioEnroll + kFalse), false, false, true},
        InfoCase{"PreviewNullFallsBackToBioEnroll",
                 InfoAnswer(2, kPreview + kNull + kBioEnroll + kFalse), false, false, true},
        InfoCase{"NeitherOption", InfoAnswer(1, kClientPin + kTrue), true, false, false},
        // Only the simple value true counts: the integer 21 shares its low bits.
        InfoCase{"TrueMustBeASimpleValue", InfoAnswer(2, kClientPin + " 15 " + kUv + " 15 "), false,
                 false, false},
        InfoCase{"NoOptionsMember", Hex("00 A1 01 80"), false, false, false},
        InfoCase{"PasskeysByPrototype", InfoAnswer(1, kCredMgmtPreview + kTrue), false, false,
                 false, 0x41},
        InfoCase{"PasskeysByTheStandardFormFirst",
                 InfoAnswer(2, kCredMgmt + kTrue + kCredMgmtPreview + kTrue), false, false, false,
                 0x0A},
        InfoCase{"PasskeysOfferedFalse",
                 InfoAnswer(2, kCredMgmt + kFalse + kCredMgmtPreview + kFalse), false, false,
                 false}),
    [](const auto& info) { return std::string(info.param.name); });

class GetInfoTest : public SessionTest {};

TEST_F(GetInfoTest, VendorCommandSetSends0x44) {
    AttachWithChannel();
    keyState.vendorCommandSet = true;
    key->QueueMessage(kChannel, ctaphid::kCbor, InfoAnswer(1, kClientPin + kTrue));
    AuthenticatorCaps caps;
    EXPECT_EQ(GetAuthenticatorInfo(device, caps), 0);
    EXPECT_EQ(caps.pinSet, 1);
    EXPECT_EQ(SentMessages(*key).at(0).payload, Bytes{0x44});
}

TEST_F(GetInfoTest, ErrorStatusClearsOnlyEnrollmentSupport) {
    AttachWithChannel();
    keyState.pinSet = true;
    keyState.uvConfigured = true;
    keyState.bioEnrollmentSupported = true;
    key->QueueMessage(kChannel, ctaphid::kCbor, {0x2D});
    AuthenticatorCaps caps{1, 1};
    EXPECT_EQ(GetAuthenticatorInfo(device, caps), 0x2D);
    EXPECT_EQ(caps.pinSet, 1);
    EXPECT_EQ(caps.uvConfigured, 1);
    EXPECT_TRUE(keyState.pinSet);
    EXPECT_TRUE(keyState.uvConfigured);
    EXPECT_FALSE(keyState.bioEnrollmentSupported);
}

TEST(GetInfoDetails, MembersOfAnotherTypeAreLeftOut) {
    // {1: [1, "FIDO_2_0"], 3: 15 bytes, 4: {1: true, "uv": 5, "up": true}, 5: -1, 6: [1, "2"]}
    const Bytes answer =
        Hex("A5 01 82 01 68 4649444F5F325F30 03 4F 000000000000000000000000000000"
            "04 A3 01 F5 62 7576 05 62 7570 F5 05 20 06 82 01 61 32");
    const AuthenticatorDetails details = ParseAuthenticatorDetails(answer.data(), answer.size());
    EXPECT_EQ(details.versions, std::vector<std::string>{"FIDO_2_0"});
    EXPECT_TRUE(details.aaguid.empty()) << "an AAGUID has 16 bytes";
    EXPECT_EQ(details.options, (std::vector<std::pair<std::string, bool>>{{"up", true}}));
    EXPECT_EQ(details.maxMsgSize, std::nullopt);
    EXPECT_EQ(details.pinProtocols, std::vector<std::uint32_t>{1});
}

TEST_F(GetInfoTest, FalseOptionsNeverClearEarlierFlags) {
    AttachWithChannel();
    keyState.pinSet = true;
    key->QueueMessage(kChannel, ctaphid::kCbor, InfoAnswer(1, kClientPin + kFalse));
    AuthenticatorCaps caps;
    EXPECT_EQ(GetAuthenticatorInfo(device, caps), 0);
    EXPECT_EQ(caps.pinSet, 0);
    EXPECT_TRUE(keyState.pinSet);
}

TEST_F(GetInfoTest, LegacyModelCopiesBothBytesWhateverTheStatus) {
    AttachWithChannel(kLegacyModel);
    keyState.selectedProductId = kLegacyModel;
    keyState.bioEnrollmentSupported = true;
    struct Row {
        Bytes answer;
        std::uint16_t status;
        std::uint8_t pinSet;
        std::uint8_t uv;
    };
    for (const Row& row :
         {Row{Hex("01 00 90 00"), 0x9000, 1, 0}, Row{Hex("01 01 90 00"), 0x9000, 1, 1},
          Row{Hex("00 01 6A 80"), 0x6A80, 0, 1}, Row{Hex("6D 00"), 0x6D00, 0, 0},
          // More than the two bytes does not fit the answer buffer.
          Row{Hex("01 01 01 90 00"), 0xFFFB, 0, 0}}) {
        key->written.clear();
        key->QueueMessage(kChannel, ctaphid::kCbor, row.answer);
        AuthenticatorCaps caps;
        EXPECT_EQ(GetAuthenticatorInfo(device, caps), row.status);
        EXPECT_EQ(caps.pinSet, row.pinSet);
        EXPECT_EQ(caps.uvConfigured, row.uv);
        EXPECT_EQ(SentMessages(*key).at(0).payload, Hex("80 E3 02 00 00"));
    }
    EXPECT_FALSE(keyState.pinSet) << "the legacy path leaves every flag alone";
    EXPECT_FALSE(keyState.uvConfigured);
    EXPECT_TRUE(keyState.bioEnrollmentSupported);
}

}  // namespace
}  // namespace kelvora::test
