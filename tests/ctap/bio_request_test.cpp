// Bio enrollment requests byte for byte, their pinAuth, and the rules that decide when a
// request carries one. The pinAuth values were computed independently with Python's hmac
// module, keyed with the token 40 41 .. 5F.
#include <gmock/gmock.h>

#include <string>

#include "bio_replay_fixture.h"
#include "ctap/bio_request.h"
#include "ctap/bio_status.h"
#include "ctap/fingerprint_record.h"

namespace kelvora::test {
namespace {

const Bytes kId3 = {0x00, 0x03};
const Bytes kId12 = {0x00, 0x0C};
const Bytes kId5 = {0x00, 0x05};

struct RequestCase {
    std::string name;
    BioSubCommand subCommand;
    Bytes templateId;  // empty: none
    std::string friendlyName;
    bool hasName;
    bool sampleTimeout;
    bool withPinAuth;
    std::string expected;
};

BioParams ParamsOf(const RequestCase& c) {
    BioParams params;
    if (!c.templateId.empty()) {
        params.templateId = std::span<const std::uint8_t>(c.templateId);
    }
    if (c.hasName) {
        params.friendlyName = c.friendlyName;
    }
    params.sampleTimeout = c.sampleTimeout;
    return params;
}

class BioRequestBytesTest : public ::testing::TestWithParam<RequestCase> {};

TEST_P(BioRequestBytesTest, MatchesTheWireForm) {
    const RequestCase& c = GetParam();
    KeyState state;
    state.pinToken.Set(kToken);
    BioRequest request;
    ASSERT_TRUE(BuildBioRequest(state, c.subCommand, ParamsOf(c), c.withPinAuth, request));
    EXPECT_EQ(Bytes(request.span().begin(), request.span().end()), Hex(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    EveryForm, BioRequestBytesTest,
    ::testing::Values(
        RequestCase{"EnrollBegin",
                    BioSubCommand::kEnrollBegin,
                    {},
                    "",
                    false,
                    true,
                    false,
                    "40 A3 01 01 02 01 03 A1 03 19 13 88"},
        RequestCase{"EnrollBeginPinAuth",
                    BioSubCommand::kEnrollBegin,
                    {},
                    "",
                    false,
                    true,
                    true,
                    "40 A5 01 01 02 01 03 A1 03 19 13 88 04 01 05 50"
                    "4B6630A44ABC6E87584BBE5091FE822E"},
        RequestCase{"Capture", BioSubCommand::kEnrollCaptureNextSample, kId3, "", false, true,
                    false, "40 A3 01 01 02 02 03 A2 01 42 00 03 03 19 13 88"},
        RequestCase{"CapturePinAuth", BioSubCommand::kEnrollCaptureNextSample, kId3, "", false,
                    true, true,
                    "40 A5 01 01 02 02 03 A2 01 42 00 03 03 19 13 88 04 01 05 50"
                    "8ABC253DFFD8075785020CAD2462ADA9"},
        RequestCase{"LongIdentifierWrittenWhole", BioSubCommand::kEnrollCaptureNextSample,
                    Hex("0003AABB"), "", false, true, false,
                    "40 A3 01 01 02 02 03 A2 01 44 00 03 AA BB 03 19 13 88"},
        RequestCase{"Cancel",
                    BioSubCommand::kCancelCurrentEnrollment,
                    {},
                    "",
                    false,
                    false,
                    false,
                    "40 A2 01 01 02 03"},
        RequestCase{"Enumerate",
                    BioSubCommand::kEnumerateEnrollments,
                    {},
                    "",
                    false,
                    false,
                    false,
                    "40 A2 01 01 02 04"},
        RequestCase{"EnumeratePinAuth",
                    BioSubCommand::kEnumerateEnrollments,
                    {},
                    "",
                    false,
                    false,
                    true,
                    "40 A4 01 01 02 04 04 01 05 50 1C92EE2C2D055D665BAB0DC8941099FF"},
        RequestCase{"SetName", BioSubCommand::kSetFriendlyName, kId12, "abc", true, false, false,
                    "40 A3 01 01 02 05 03 A2 01 42 00 0C 02 63 61 62 63"},
        RequestCase{"SetNamePinAuth", BioSubCommand::kSetFriendlyName, kId12, "abc", true, false,
                    true,
                    "40 A5 01 01 02 05 03 A2 01 42 00 0C 02 63 61 62 63 04 01 05 50"
                    "F036A0075D9233BD755A3C563D5F3850"},
        RequestCase{"SetNameCp932Unchanged", BioSubCommand::kSetFriendlyName, kId12,
                    "\x8E\x77\x96\xE4", true, false, false,
                    "40 A3 01 01 02 05 03 A2 01 42 00 0C 02 64 8E 77 96 E4"},
        RequestCase{"Remove", BioSubCommand::kRemoveEnrollment, kId5, "", false, false, false,
                    "40 A3 01 01 02 06 03 A1 01 42 00 05"},
        RequestCase{"RemovePinAuth", BioSubCommand::kRemoveEnrollment, kId5, "", false, false, true,
                    "40 A5 01 01 02 06 03 A1 01 42 00 05 04 01 05 50"
                    "188A8064FCDA5ACEA816015ED3D0AB26"},
        RequestCase{"VerifyFingerprint",
                    BioSubCommand::kVerifyFingerprint,
                    {},
                    "",
                    false,
                    false,
                    false,
                    "40 A2 01 01 02 08"},
        RequestCase{"GetFingerprintRetries",
                    BioSubCommand::kGetFingerprintRetries,
                    {},
                    "",
                    false,
                    false,
                    false,
                    "40 A2 01 01 02 09"}),
    [](const auto& info) { return info.param.name; });

TEST(BioPinAuthMessageTest, IsModalitySubcommandAndEncodedParams) {
    std::array<std::uint8_t, 64> message{};
    BioParams begin;
    begin.sampleTimeout = true;
    std::size_t n = BioPinAuthMessage(BioSubCommand::kEnrollBegin, begin, message);
    EXPECT_EQ(Bytes(message.begin(), message.begin() + n), Hex("01 01 A1 03 19 13 88"));

    n = BioPinAuthMessage(BioSubCommand::kEnumerateEnrollments, {}, message);
    EXPECT_EQ(Bytes(message.begin(), message.begin() + n), Hex("01 04"));

    const auto id = TemplateIdFromSlot(5);
    BioParams remove;
    remove.templateId = id;
    n = BioPinAuthMessage(BioSubCommand::kRemoveEnrollment, remove, message);
    EXPECT_EQ(Bytes(message.begin(), message.begin() + n), Hex("01 06 A1 01 42 00 05"));

    std::array<std::uint8_t, 4> tooSmall{};
    EXPECT_EQ(BioPinAuthMessage(BioSubCommand::kEnrollBegin, begin, tooSmall), 0U);
}

TEST(BioRequestTest, VendorCommandSetTakesByte0x50) {
    KeyState state;
    state.vendorCommandSet = true;
    BioRequest request;
    ASSERT_TRUE(BuildBioRequest(state, BioSubCommand::kEnumerateEnrollments, {}, false, request));
    EXPECT_EQ(Bytes(request.span().begin(), request.span().end()), Hex("50 A2 01 01 02 04"));
}

TEST(BioRequestTest, NameThatDoesNotFitIsRefusedNotTruncated) {
    KeyState state;
    const std::string name(kBioRequestSize, 'n');
    const auto id = TemplateIdFromSlot(1);
    BioParams params;
    params.templateId = id;
    params.friendlyName = name;
    BioRequest request;
    EXPECT_FALSE(BuildBioRequest(state, BioSubCommand::kSetFriendlyName, params, true, request));
    EXPECT_EQ(request.length, 0U);
}

struct RuleCase {
    bool pinSet;
    bool uvConfigured;
    bool tokenHeld;
    bool ruleA;
    bool ruleB;
};

class BioPinAuthRuleTest : public ::testing::TestWithParam<RuleCase> {};

TEST_P(BioPinAuthRuleTest, DecidesFromPinFingerprintAndToken) {
    const RuleCase& c = GetParam();
    KeyState state;
    state.pinSet = c.pinSet;
    state.uvConfigured = c.uvConfigured;
    if (c.tokenHeld) {
        state.pinToken.Set(kToken);
    }
    EXPECT_EQ(BioPinAuthRuleA(state), c.ruleA);
    EXPECT_EQ(BioPinAuthRuleB(state), c.ruleB);
}

INSTANTIATE_TEST_SUITE_P(AllCombinations, BioPinAuthRuleTest,
                         ::testing::Values(RuleCase{false, false, false, false, false},
                                           RuleCase{false, true, true, false, false},
                                           RuleCase{true, false, false, true, false},
                                           RuleCase{true, false, true, true, true},
                                           // A fingerprint was proved instead of the PIN.
                                           RuleCase{true, true, false, false, false},
                                           RuleCase{true, true, true, true, true}));

TEST(FingerprintRecordTest, SlotNumbersAreBigEndianAndNeedTwoBytes) {
    EXPECT_EQ(SlotFromTemplateId(Hex("0007")), 7);
    EXPECT_EQ(SlotFromTemplateId(Hex("0105FF")), 0x0105);
    EXPECT_FALSE(SlotFromTemplateId(Hex("07")).has_value());
    EXPECT_EQ(TemplateIdFromSlot(0x2A), (std::array<std::uint8_t, 2>{0x00, 0x2A}));
    EXPECT_EQ(TemplateIdFromSlot(0x0105), (std::array<std::uint8_t, 2>{0x01, 0x05}))
        << "a large number must not name template 5";
}

}  // namespace
}  // namespace kelvora::test
