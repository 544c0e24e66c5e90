// The verification test: which request each key family gets, the verdict tables, and how
// the test reports and ends, against scripted answers.
#include <gmock/gmock.h>

#include <atomic>

#include "bio_replay_fixture.h"
#include "ctap/bio_status.h"
#include "ctap/verification_test.h"
#include "tests/common/fakes.h"

namespace kelvora::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class VerificationTest : public BioReplayTest {
  protected:
    VerificationOutcome Run() {
        return RunVerificationTest(
            device, [this](std::uint16_t status) { reports_.push_back(status); }, cancel_,
            BioSequenceServices{clock_, debug, SystemWallClock()});
    }

    FakeClock clock_;
    std::atomic<bool> cancel_{false};
    std::vector<std::uint16_t> reports_;
};

TEST(VerifyTestRequestTest, IsTheFixedMakeCredentialOf181Bytes) {
    ASSERT_EQ(VERIFY_TEST_REQUEST.size(), 362U);
    // The map decoded independently: {1: h'00..1F', 2: {"id": "example", "name": "example"},
    // 3: {"id": h'20..3F', "name": "test@example.test", "displayName": "Test Ctap"},
    // 4: [{"alg": -7, "type": "public-key"}], 7: {"uv": true}, 8: h'', 9: 1}.
    const Bytes bytes = Hex(std::string(VERIFY_TEST_REQUEST));
    ASSERT_EQ(bytes.size(), 181U);
    EXPECT_EQ(bytes[0], 0x01);
    EXPECT_EQ(bytes[1], 0xA7) << "seven members";
    EXPECT_EQ(Bytes(bytes.end() - 4, bytes.end()), Hex("08 40 09 01"))
        << "empty pinAuth, protocol one";
}

struct VerificationRequestCase {
    std::string name;
    std::size_t model;  // index in the supported product list
    bool vendor;
    std::string expectedHead;  // the first bytes of the request
    std::size_t expectedSize;
};

class VerificationRequestTest : public VerificationTest,
                                public ::testing::WithParamInterface<VerificationRequestCase> {};

TEST_P(VerificationRequestTest, DependsOnModelAndCommandSet) {
    const VerificationRequestCase& c = GetParam();
    AttachKey(kSupportedProducts[c.model]);
    keyState.selectedProductId = kSupportedProducts[c.model];
    keyState.vendorCommandSet = c.vendor;
    Answer(0x00);
    Run();
    const std::vector<Bytes> sent = Sent();
    ASSERT_EQ(sent.size(), 1U);
    EXPECT_EQ(sent[0].size(), c.expectedSize);
    const Bytes head = Hex(c.expectedHead);
    EXPECT_EQ(Bytes(sent[0].begin(), sent[0].begin() + head.size()), head);
    if (c.expectedSize == 181) {
        const Bytes fixed = Hex(std::string(VERIFY_TEST_REQUEST));
        EXPECT_EQ(Bytes(sent[0].begin() + 1, sent[0].end()), Bytes(fixed.begin() + 1, fixed.end()));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Keys, VerificationRequestTest,
    ::testing::Values(VerificationRequestCase{"Standard", 2, false, "01 A7", 181},
                      VerificationRequestCase{"StandardVendor", 2, true, "48 A7", 181},
                      VerificationRequestCase{"Fifth", 4, false, "01 A7", 181},
                      VerificationRequestCase{"Sixth", 5, false, "40 A2 01 01 02 08", 6},
                      VerificationRequestCase{"Seventh", 6, false, "40 A2 01 01 02 08", 6},
                      VerificationRequestCase{"SeventhVendor", 6, true, "48 A7", 181}),
    [](const auto& info) { return info.param.name; });

TEST(VerdictTest, CtapStatuses) {
    for (const std::uint8_t status : {0x00, 0x33, 0x35}) {
        EXPECT_EQ(CtapVerdict(status), Verdict::kVerified) << int{status};
    }
    for (const std::uint8_t status : {0x28, 0x2F}) {
        EXPECT_EQ(CtapVerdict(status), Verdict::kNotVerified) << int{status};
    }
    for (const std::uint8_t status : {0x01, 0x27, 0x2E, 0x31, 0x36, 0x3C, 0x90, 0xFF}) {
        EXPECT_EQ(CtapVerdict(status), Verdict::kNoVerdict) << int{status};
    }
}

TEST(VerdictTest, LegacyStatusWords) {
    EXPECT_EQ(LegacyVerdict(0x9000), Verdict::kVerified);
    EXPECT_EQ(LegacyVerdict(0x6A80), Verdict::kNotVerified);
    for (const std::uint16_t status : {0x6985, 0x6982, 0x6983, 0xFFFB, 0x0000}) {
        EXPECT_EQ(LegacyVerdict(status), Verdict::kNoVerdict) << status;
    }
}

TEST_F(VerificationTest, CtapKeyReportsOnceThenShowsTheVerdict) {
    AttachKey();
    Answer(0x35);
    const VerificationOutcome outcome = Run();
    EXPECT_EQ(outcome.end, SequenceEnd::kFinished);
    EXPECT_EQ(outcome.closeCode, kCtapVerifyCloseCode);
    EXPECT_THAT(reports_, ElementsAre(0x35));
    EXPECT_THAT(clock_.sleeps, ElementsAre(500));
}

TEST_F(VerificationTest, TransportFailureIsReportedLikeAnyStatus) {
    AttachKey();
    EXPECT_EQ(Run().end, SequenceEnd::kFinished);
    EXPECT_THAT(reports_, ElementsAre(kCtapTransportFailure));
}

TEST_F(VerificationTest, RemovalDuringTheWaitEndsWithoutAReport) {
    AttachKey();
    Answer(0x00);
    keyState.deviceAbsent = true;
    const VerificationOutcome outcome = Run();
    EXPECT_EQ(outcome.end, SequenceEnd::kAborted);
    EXPECT_THAT(reports_, IsEmpty());
    EXPECT_THAT(clock_.sleeps, IsEmpty());
}

class LegacyVerificationTest : public VerificationTest {
  protected:
    void SetUp() override {
        AttachKey(kLegacyModel);
        keyState.selectedProductId = kLegacyModel;
    }
};

TEST_F(LegacyVerificationTest, PollsUntilAMatch) {
    AnswerSecure(0x6985);
    AnswerSecure(0x6985);
    AnswerSecure(0x9000, {0x00, 0x04});
    const VerificationOutcome outcome = Run();
    EXPECT_EQ(outcome.end, SequenceEnd::kFinished);
    EXPECT_EQ(outcome.closeCode, kLegacyVerifyCloseCode);
    EXPECT_THAT(reports_, ElementsAre(0x6985, 0x6985, 0x9000));
    EXPECT_THAT(clock_.sleeps, ElementsAre(50, 50, 500)) << "a key that answers at once";
    const std::vector<Bytes> sent = Sent();
    ASSERT_EQ(sent.size(), 6U);
    EXPECT_EQ(sent[0], Hex("80 E2 FF 00 08"));
    EXPECT_EQ(Bytes(sent[1].begin(), sent[1].begin() + 5), Hex("84 E2 02 02 08"))
        << "no data, the 8-byte DES MAC";
    EXPECT_EQ(sent[1].size(), 13U);
}

TEST_F(LegacyVerificationTest, GivesUpAfterTenSecondsWithNotVerified) {
    clock_.stepPerReading = 3000;
    for (int i = 0; i < 4; ++i) {
        AnswerSecure(0x6985);
    }
    const VerificationOutcome outcome = Run();
    EXPECT_EQ(outcome.end, SequenceEnd::kFinished);
    EXPECT_EQ(outcome.lastStatus, kSwFingerNotVerified);
    EXPECT_THAT(reports_, ElementsAre(0x6985, 0x6985, 0x6985, 0x6985, 0x6A80))
        << "polled through 9 s, over the limit at 12 s";
}

TEST_F(LegacyVerificationTest, CancelEndsThePollWithoutAReport) {
    AnswerSecure(0x6985);
    cancel_ = true;
    const VerificationOutcome outcome = Run();
    EXPECT_EQ(outcome.end, SequenceEnd::kCancelled);
    EXPECT_EQ(outcome.closeCode, kLegacyVerifyCloseCode);
    EXPECT_THAT(reports_, IsEmpty());
}

}  // namespace
}  // namespace kelvora::test
