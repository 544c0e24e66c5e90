// Answers found by fuzzing the legacy operations, kept as regression cases.
#include <gtest/gtest.h>

#include "ctap/bio_replay_fixture.h"
#include "ctap/legacy_bio.h"
#include "transport/apdu.h"

namespace kelvora::test {
namespace {

class LegacyStatusTest : public BioReplayTest, public ::testing::WithParamInterface<std::size_t> {};

// LegacyReadSlots returns 0 for "read": a key's status word 00 00 must not pass for it,
// whether or not the bitmap has its length.
TEST_P(LegacyStatusTest, StatusWordZeroIsNeverTakenForARead) {
    AttachKey(kLegacyModel);
    Bytes bitmap(GetParam(), 0xFF);
    AnswerSecure(0x0000, bitmap);
    SlotMap slots{};
    EXPECT_EQ(LegacyReadSlots(device, slots, [] {}), kSwTransportFailure);
    EXPECT_EQ(slots, SlotMap{});
}

INSTANTIATE_TEST_SUITE_P(BitmapLengths, LegacyStatusTest, ::testing::Values(32u, 5u, 0u));

}  // namespace
}  // namespace kelvora::test
