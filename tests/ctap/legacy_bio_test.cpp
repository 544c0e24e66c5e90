// The legacy models' fingerprint APDUs and the sample counting of a legacy enrollment,
// against scripted answers.
#include <gmock/gmock.h>

#include <atomic>
#include <utility>

#include "bio_replay_fixture.h"
#include "ctap/bio_status.h"
#include "ctap/legacy_bio.h"
#include "tests/common/fakes.h"

namespace kelvora::test {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

const Bytes kChallengeRequest = Hex("80 E2 FF 00 08");

class LegacyBioTest : public BioReplayTest {
  protected:
    void SetUp() override {
        AttachKey(kLegacyModel);
        keyState.selectedProductId = kLegacyModel;
    }

    // The secure commands sent, each checked to follow its challenge request.
    std::vector<Bytes> SecureCommands() const {
        std::vector<Bytes> commands;
        const std::vector<Bytes> sent = Sent();
        for (std::size_t i = 0; i + 1 < sent.size(); i += 2) {
            EXPECT_EQ(sent[i], kChallengeRequest) << i;
            commands.push_back(sent[i + 1]);
        }
        EXPECT_EQ(sent.size() % 2, 0U);
        return commands;
    }

    SequenceOutcome Enroll(int slot) {
        return RunLegacyEnrollment(
            device, slot,
            [this](int count, std::uint16_t status) { progress_.emplace_back(count, status); },
            cancel_, BioSequenceServices{clock_, debug, SystemWallClock()});
    }

    FakeClock clock_;
    std::atomic<bool> cancel_{false};
    std::vector<std::pair<int, std::uint16_t>> progress_;
};

TEST_F(LegacyBioTest, ReadSlotsExpandsTheBitmapLeastSignificantBitFirst) {
    Bytes bitmap(32, 0);
    bitmap[0] = 0x01;   // slot 0
    bitmap[1] = 0x80;   // slot 15
    bitmap[31] = 0xC0;  // slots 254, 255
    AnswerSecure(0x9000, bitmap);
    SlotMap slots{};
    slots[100] = 1;  // overwritten by what the key says
    int notices = 0;
    EXPECT_EQ(LegacyReadSlots(device, slots, [&notices] { ++notices; }), 0);
    EXPECT_EQ(notices, 0);
    std::vector<std::size_t> enrolled;
    for (std::size_t s = 0; s < slots.size(); ++s) {
        if (slots[s] != 0) {
            enrolled.push_back(s);
        }
    }
    EXPECT_THAT(enrolled, ElementsAre(0U, 15U, 254U, 255U));
    const std::vector<Bytes> commands = SecureCommands();
    ASSERT_EQ(commands.size(), 1U);
    EXPECT_EQ(Bytes(commands[0].begin(), commands[0].begin() + 5), Hex("84 E2 04 00 08"));
}

struct WrongLengthCase {
    std::uint16_t statusWord;
    std::size_t dataBytes;
    std::uint16_t expected;
};

class LegacyReadSlotsWrongLengthTest : public LegacyBioTest,
                                       public ::testing::WithParamInterface<WrongLengthCase> {};

TEST_P(LegacyReadSlotsWrongLengthTest, ShowsTheNoticeAndNeverSucceeds) {
    const WrongLengthCase& c = GetParam();
    AnswerSecure(c.statusWord, Bytes(c.dataBytes, 0xFF));
    SlotMap slots{};
    int notices = 0;
    EXPECT_EQ(LegacyReadSlots(device, slots, [&notices] { ++notices; }), c.expected);
    EXPECT_EQ(notices, 1);
    EXPECT_EQ(std::count(slots.begin(), slots.end(), 1), 0) << "the map is left alone";
}

INSTANTIATE_TEST_SUITE_P(
    Answers, LegacyReadSlotsWrongLengthTest,
    ::testing::Values(WrongLengthCase{0x9000, 16, kSwTransportFailure},  // short success
                      WrongLengthCase{0x9000, 0, kSwTransportFailure},
                      WrongLengthCase{0x9000, 33, kSwTransportFailure},  // does not fit
                      WrongLengthCase{0x6982, 0, 0x6982}));

TEST_F(LegacyBioTest, ReadSlotsPassesOtherStatusWordsOnWithTheBitmap) {
    AnswerSecure(0x6985, Bytes(32, 0xFF));
    SlotMap slots{};
    int notices = 0;
    EXPECT_EQ(LegacyReadSlots(device, slots, [&notices] { ++notices; }), 0x6985);
    EXPECT_EQ(notices, 0);
    EXPECT_EQ(std::count(slots.begin(), slots.end(), 1), 0);
}

TEST_F(LegacyBioTest, EnrollStepAndDeleteCarryTheSlotBigEndian) {
    AnswerSecure(0x9000);
    AnswerSecure(0x6A88);
    EXPECT_EQ(LegacyEnrollStep(device, 7, 3), 0x9000);
    EXPECT_EQ(LegacyDelete(device, 7), 0x6A88);
    const std::vector<Bytes> commands = SecureCommands();
    ASSERT_EQ(commands.size(), 2U);
    // Two data bytes pad to one DES block; byte 4 counts it and the 8-byte MAC.
    EXPECT_EQ(Bytes(commands[0].begin(), commands[0].begin() + 5), Hex("84 E2 01 03 10"));
    EXPECT_EQ(commands[0].size(), 21U);
    EXPECT_EQ(Bytes(commands[1].begin(), commands[1].begin() + 5), Hex("84 E2 03 00 10"));
}

TEST_F(LegacyBioTest, EnrollStepRefusesSlotsBeyondTheMapWithoutSending) {
    EXPECT_EQ(LegacyEnrollStep(device, 256, 1), kSwSlotOutOfRange);
    EXPECT_EQ(LegacyEnrollStep(device, -1, 1), kSwSlotOutOfRange);
    EXPECT_THAT(Sent(), IsEmpty());
}

TEST_F(LegacyBioTest, EnrollmentCountsASampleOnlyAfterTheSensorWasSeenEmpty) {
    // Finger already down, lifted, sample 1, still down, lifted, samples 2, 3 and 4, final.
    const std::vector<std::uint16_t> answers = {0x9000, 0x6A86, 0x9000, 0x9000, 0x6A86, 0x9000,
                                                0x6A86, 0x9000, 0x6A86, 0x9000, 0x9000};
    for (const std::uint16_t answer : answers) {
        AnswerSecure(answer);
    }
    const SequenceOutcome outcome = Enroll(9);
    EXPECT_EQ(outcome.end, SequenceEnd::kFinished);
    EXPECT_EQ(outcome.result, 0x9000);

    std::vector<int> steps;
    for (const Bytes& command : SecureCommands()) {
        steps.push_back(command[3]);
    }
    EXPECT_THAT(steps, ElementsAre(1, 1, 1, 2, 2, 2, 3, 3, 4, 4, 5));

    using P = std::pair<int, std::uint16_t>;
    EXPECT_THAT(progress_, ElementsAreArray({P{0, 0x9401}, P{0, 0x9401}, P{0, 0x6A86}, P{1, 0x9000},
                                             P{1, 0x9401}, P{1, 0x9401}, P{1, 0x6A86}, P{2, 0x9000},
                                             P{2, 0x9401}, P{2, 0x6A86}, P{3, 0x9000}, P{3, 0x9401},
                                             P{3, 0x6A86}, P{4, 0x9000}}));
    EXPECT_EQ(clock_.sleeps, std::vector<std::uint32_t>(9, kLegacyEnrollPollMs));
}

TEST_F(LegacyBioTest, EnrollmentEndsOnCancelRemovalAndSuspend) {
    struct Case {
        std::atomic<bool>* flag;
        SequenceEnd end;
        std::uint16_t result;
    };
    const Case cases[] = {
        {&cancel_, SequenceEnd::kCancelled, kBioSequenceAborted},
        {&keyState.deviceAbsent, SequenceEnd::kAborted, kBioSequenceAborted},
        {&keyState.systemSuspended, SequenceEnd::kSuspended, kBioSequenceSuspended}};
    for (const Case& c : cases) {
        key->written.clear();
        AnswerSecure(0x6A86);
        AnswerSecure(0x6A86);
        clock_.onSleep = [&c](std::size_t) { *c.flag = true; };
        const SequenceOutcome outcome = Enroll(1);
        EXPECT_EQ(outcome.end, c.end);
        EXPECT_EQ(outcome.result, c.result);
        EXPECT_EQ(SecureCommands().size(), c.end == SequenceEnd::kSuspended ? 1U : 2U)
            << "a suspend is seen right after the pause, the others after the next poll";
        *c.flag = false;
        key->reads.clear();
    }
}

TEST_F(LegacyBioTest, EveryEnrollmentStartsFromTheFirstSample) {
    for (int run = 0; run < 2; ++run) {
        key->written.clear();
        for (int sample = 0; sample < 4; ++sample) {
            AnswerSecure(0x6A86);
            AnswerSecure(0x9000);
        }
        AnswerSecure(0x9000);
        EXPECT_EQ(Enroll(2).result, 0x9000);
        const std::vector<Bytes> commands = SecureCommands();
        ASSERT_EQ(commands.size(), 9U) << "run " << run;
        EXPECT_EQ(commands[0][3], 1);
    }
}

}  // namespace
}  // namespace kelvora::test
