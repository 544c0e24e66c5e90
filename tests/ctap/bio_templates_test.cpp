// Listing, naming and removing templates, and the failure detail query, against scripted
// key answers.
#include <gmock/gmock.h>

#include "bio_replay_fixture.h"
#include "ctap/bio_templates.h"
#include "ctap/failure_detail.h"

namespace kelvora::test {
namespace {

using ::testing::ElementsAre;
using ::testing::Pair;

class BioTemplatesTest : public BioReplayTest {};

TEST_F(BioTemplatesTest, EnumerationFillsSlotsAndNamesAndSkipsWhatDoesNotFit) {
    AttachKey();
    keyState.pinSet = true;
    HoldToken();
    // {7: [{1: h'0007', 2: "abc"}, {1: h'07', 2: "x"}, {1: h'0105', 2: "big"}, {1: h'0009'},
    //      {1: h'0008', 2: 61}]}
    Answer(0x00, Hex("A1 07 85"
                     "A2 01 42 00 07 02 63 61 62 63"
                     "A2 01 41 07 02 61 78"
                     "A2 01 42 01 05 02 63 62 69 67"
                     "A1 01 42 00 09"
                     "A2 01 42 00 08 02 18 3D"));
    SlotMap slots{};
    TemplateNames names = {{3, "stale"}};
    EXPECT_EQ(EnumerateBio(device, slots, names, debug), 0);

    EXPECT_EQ(slots[7], 1);
    EXPECT_EQ(slots[9], 1);
    EXPECT_EQ(slots[8], 1) << "a name of the wrong type is an empty name";
    EXPECT_EQ(slots[5], 0) << "identifier 01 05 must not mark slot 5";
    EXPECT_EQ(std::count(slots.begin(), slots.end(), 1), 3);
    EXPECT_THAT(names, ElementsAre(Pair(7, "abc"), Pair(8, ""), Pair(9, "")));
    EXPECT_THAT(Sent(), ElementsAre(Hex("40 A4 01 01 02 04 04 01 05 50"
                                        "1C92EE2C2D055D665BAB0DC8941099FF")));
}

TEST_F(BioTemplatesTest, RefusedOrMalformedEnumerationListsNothing) {
    AttachKey();
    Answer(0x2C);                      // the maker's keys refuse when they hold nothing
    Answer(0x00, Hex("A1 07 A0"));     // templateInfos not an array
    Answer(0x00, Hex("A1 07 82 A1"));  // cut off
    for (int i = 0; i < 3; ++i) {
        SlotMap slots{};
        TemplateNames names = {{1, "old"}};
        EXPECT_EQ(EnumerateBio(device, slots, names, debug), 0);
        EXPECT_EQ(std::count(slots.begin(), slots.end(), 1), 0);
        EXPECT_TRUE(names.empty());
    }
    EXPECT_EQ(Sent().front(), Hex("40 A2 01 01 02 04")) << "rule B: no PIN, no pinAuth";
}

TEST_F(BioTemplatesTest, RemoveAndRenameSendOneRequestAndReturnItsStatus) {
    AttachKey();
    HoldToken();
    Answer(0x00);
    Answer(0x35);
    EXPECT_EQ(RemoveBio(device, 5, true), 0x00);
    EXPECT_EQ(SetFriendlyName(device, TemplateIdFromSlot(12), "abc", false), 0x35);
    EXPECT_THAT(Sent(), ElementsAre(Hex("40 A5 01 01 02 06 03 A1 01 42 00 05 04 01 05 50"
                                        "188A8064FCDA5ACEA816015ED3D0AB26"),
                                    Hex("40 A3 01 01 02 05 03 A2 01 42 00 0C 02 63 61 62 63")));
}

TEST_F(BioTemplatesTest, OverlongNameIsRefusedWithoutAnExchange) {
    AttachKey();
    const std::string name(5000, 'n');
    EXPECT_EQ(SetFriendlyName(device, TemplateIdFromSlot(1), name, false), 0x39);
    EXPECT_TRUE(Sent().empty());
}

struct DetailCase {
    std::uint8_t status;
    std::optional<int> detail;
};

class RetriesDetailTest : public BioReplayTest, public ::testing::WithParamInterface<DetailCase> {};

TEST_P(RetriesDetailTest, StatusByteIsTheCount) {
    AttachKey(kSupportedProducts[5]);
    Answer(GetParam().status);
    EXPECT_EQ(ReadFailureDetail(device), GetParam().detail);
    EXPECT_THAT(Sent(), ElementsAre(Hex("40 A2 01 01 02 09")));
}

INSTANTIATE_TEST_SUITE_P(Answers, RetriesDetailTest,
                         ::testing::Values(DetailCase{3, 3}, DetailCase{1, 1},
                                           DetailCase{0, 0},  // locked
                                           DetailCase{0x90, std::nullopt},
                                           // a key without the query: not 62 attempts
                                           DetailCase{0x3E, std::nullopt}));

TEST_F(BioTemplatesTest, RetriesQueryThatFailsAtTheTransportGivesNoDetail) {
    AttachKey();
    key->QueueReadFailure();
    key->QueueReadFailure();
    EXPECT_EQ(ReadFailureDetail(device), std::nullopt) << "not 255 attempts left";
}

TEST_F(BioTemplatesTest, VendorKeysAreAskedByPlainApdu) {
    AttachKey();
    keyState.vendorCommandSet = true;
    AnswerApdu(0x9000, {0x02});
    AnswerApdu(0x9000, {0x00});
    AnswerApdu(0x6A80);
    AnswerApdu(0x9000);  // success without the count
    EXPECT_EQ(ReadFailureDetail(device), 2);
    EXPECT_EQ(ReadFailureDetail(device), 0);
    EXPECT_EQ(ReadFailureDetail(device), std::nullopt);
    EXPECT_EQ(ReadFailureDetail(device), std::nullopt);
    EXPECT_EQ(Sent().front(), Hex("80 E3 04 00 00"));
}

}  // namespace
}  // namespace kelvora::test
