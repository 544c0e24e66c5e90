// The enrollment sequence against scripted answers: what it sends, what it reports, how
// it repeats refused attempts, and how it ends.
#include <gmock/gmock.h>

#include <atomic>
#include <chrono>
#include <utility>

#include "bio_replay_fixture.h"
#include "ctap/bio_enrollment.h"
#include "ctap/bio_status.h"
#include "tests/common/fakes.h"

namespace kelvora::test {
namespace {

using ::testing::ElementsAre;
using ::testing::Pair;

const Bytes kBegin = Hex("40 A3 01 01 02 01 03 A1 03 19 13 88");
const Bytes kCapture3 = Hex("40 A3 01 01 02 02 03 A2 01 42 00 03 03 19 13 88");
const Bytes kCancel = Hex("40 A2 01 01 02 03");

class BioEnrollmentTest : public BioReplayTest {
  protected:
    SequenceOutcome Run() {
        const BioSequenceServices services{clock_, debug, [] {
                                               using namespace std::chrono;
                                               return sys_days{year{2021} / 1 / 2} + hours{3} +
                                                      minutes{4} + seconds{5};
                                           }};
        return RunEnrollmentSequence(
            device,
            [this](int remaining, int status) { progress_.emplace_back(remaining, status); },
            cancel_, services);
    }

    FakeClock clock_;
    std::atomic<bool> cancel_{false};
    std::vector<std::pair<int, int>> progress_;
};

TEST_F(BioEnrollmentTest, RunsBeginCaptureAndNamingAndRepeatsRefusals) {
    AttachKey();
    Answer(0x2F);                                     // no finger within 5 s
    Answer(0x00, Hex("A2 05 00 06 03"));              // accepted but no templateId
    Answer(0x00, Hex("A3 04 41 03 05 00 06 03"));     // a one-byte templateId
    Answer(0x00, Hex("A3 04 42 00 03 05 00 06 03"));  // sample 1, 3 remain
    Answer(0x00, Hex("A2 05 00 06 02"));              // sample 2
    Answer(0x2F);                                     // refused capture
    Answer(0x00, Hex("A1 05 0E"));                    // finger not lifted
    Answer(0x00, Hex("A2 05 00 06 01"));              // sample 3
    Answer(0x00, Hex("A2 05 00 06 00"));              // sample 4
    Answer(0x00);                                     // named

    const SequenceOutcome outcome = Run();
    EXPECT_EQ(outcome.end, SequenceEnd::kFinished);
    EXPECT_EQ(outcome.result, 0);
    EXPECT_THAT(progress_,
                ElementsAre(Pair(3, 0), Pair(2, 0), Pair(2, kSampleNoUpTransition), Pair(1, 0)))
        << "a missing member keeps its value; the last sample is not reported";

    const std::vector<Bytes> sent = Sent();
    ASSERT_EQ(sent.size(), 10U);
    EXPECT_EQ(sent[0], kBegin);
    EXPECT_EQ(sent[1], kBegin) << "a success without a usable templateId is asked again";
    EXPECT_EQ(sent[2], kBegin);
    EXPECT_EQ(sent[3], kBegin);
    for (std::size_t i = 4; i < 9; ++i) {
        EXPECT_EQ(sent[i], kCapture3) << i;
    }
    EXPECT_EQ(sent[9], Hex("40 A3 01 01 02 05 03 A2 01 42 00 03 02 73"
                           "3230323130313032303330343035 8E7796E4 33"))
        << "20210102030405指紋3";
    EXPECT_THAT(clock_.sleeps, ElementsAre(100, 100, 100, 100))
        << "a pause after each refused attempt, none after a sample";
}

TEST_F(BioEnrollmentTest, ZeroRemainingAfterBeginStillCapturesOnce) {
    AttachKey();
    Answer(0x00, Hex("A3 04 42 00 03 05 00 06 00"));
    Answer(0x00, Hex("A2 05 00 06 00"));
    Answer(0x00);
    EXPECT_EQ(Run().end, SequenceEnd::kFinished);
    EXPECT_THAT(progress_, ElementsAre(Pair(0, 0)));
    const std::vector<Bytes> sent = Sent();
    ASSERT_EQ(sent.size(), 3U);
    EXPECT_EQ(sent[1], kCapture3);
}

TEST_F(BioEnrollmentTest, NamingStatusIsTheResultWhateverItIs) {
    AttachKey();
    Answer(0x00, Hex("A3 04 42 00 03 05 00 06 01"));
    Answer(0x00, Hex("A2 05 00 06 00"));
    Answer(0x3A);
    const SequenceOutcome outcome = Run();
    EXPECT_EQ(outcome.end, SequenceEnd::kFinished);
    EXPECT_EQ(outcome.result, 0x3A);
    EXPECT_TRUE(outcome.templateStored) << "the samples were all taken before the naming";
}

TEST_F(BioEnrollmentTest, CancelSendsTheCancelRequestAfterTheExchangeInFlight) {
    AttachKey();
    Answer(0x00, Hex("A3 04 42 00 03 05 00 06 03"));
    Answer(0x2F);
    Answer(0x00);  // cancel acknowledged
    clock_.onSleep = [this](std::size_t) { cancel_ = true; };
    const SequenceOutcome outcome = Run();
    EXPECT_EQ(outcome.end, SequenceEnd::kCancelled);
    EXPECT_EQ(outcome.result, kBioSequenceAborted);
    EXPECT_FALSE(outcome.templateStored);
    EXPECT_THAT(Sent(), ElementsAre(kBegin, kCapture3, kCancel))
        << "the flag is seen after the pause, before another attempt";
}

TEST_F(BioEnrollmentTest, CancelBeforeTheFirstAnswerIgnoresTheCancelOutcome) {
    AttachKey();
    cancel_ = true;
    Answer(0x2F);
    Answer(0x7F);  // the cancel's own failure does not matter
    EXPECT_EQ(Run().end, SequenceEnd::kCancelled);
    EXPECT_THAT(Sent(), ElementsAre(kBegin, kCancel));
    EXPECT_TRUE(progress_.empty());
}

TEST_F(BioEnrollmentTest, KeyThatRefusesForeverIsLeftWhenRemoved) {
    AttachKey();
    for (int i = 0; i < 5; ++i) {
        Answer(0x2F);
    }
    clock_.onSleep = [this](std::size_t sleeps) {
        if (sleeps == 5) {
            keyState.deviceAbsent = true;
        }
    };
    const SequenceOutcome outcome = Run();
    EXPECT_EQ(outcome.end, SequenceEnd::kAborted);
    EXPECT_EQ(outcome.result, kBioSequenceAborted);
    EXPECT_EQ(Sent().size(), 5U) << "no attempt after the removal, and no cancel request";
}

TEST_F(BioEnrollmentTest, PinAuthFollowsRuleA) {
    // A PIN and fingerprints, proved with a fingerprint: no token, so no pinAuth anywhere.
    AttachKey();
    keyState.pinSet = true;
    keyState.uvConfigured = true;
    Answer(0x00, Hex("A3 04 42 00 03 05 00 06 01"));
    Answer(0x00, Hex("A2 05 00 06 00"));
    Answer(0x00);
    Run();
    std::vector<Bytes> sent = Sent();
    ASSERT_EQ(sent.size(), 3U);
    EXPECT_EQ(sent[0], kBegin);
    EXPECT_EQ(sent[1], kCapture3);
    EXPECT_EQ(sent[2][1], 0xA3) << "naming without members 4 and 5";

    // The same key after a PIN verification: every request signed.
    key->written.clear();
    HoldToken();
    Answer(0x00, Hex("A3 04 42 00 03 05 00 06 01"));
    Answer(0x00, Hex("A2 05 00 06 00"));
    Answer(0x00);
    Run();
    sent = Sent();
    ASSERT_EQ(sent.size(), 3U);
    EXPECT_EQ(sent[0], Hex("40 A5 01 01 02 01 03 A1 03 19 13 88 04 01 05 50"
                           "4B6630A44ABC6E87584BBE5091FE822E"));
    EXPECT_EQ(sent[1], Hex("40 A5 01 01 02 02 03 A2 01 42 00 03 03 19 13 88 04 01 05 50"
                           "8ABC253DFFD8075785020CAD2462ADA9"));
    EXPECT_EQ(sent[2][1], 0xA5);
}

TEST_F(BioEnrollmentTest, VendorKeysGetByte0x50Throughout) {
    AttachKey();
    keyState.vendorCommandSet = true;
    Answer(0x00, Hex("A3 04 42 00 03 05 00 06 01"));
    Answer(0x00, Hex("A2 05 00 06 00"));
    Answer(0x00);
    Run();
    for (const Bytes& message : Sent()) {
        EXPECT_EQ(message[0], 0x50);
    }
}

}  // namespace
}  // namespace kelvora::test
