// The reset exchange in each form, and the order in which its worker reports.
#include "ctap/reset.h"

#include <gmock/gmock.h>

#include "replay_key.h"

namespace kelvora::test {
namespace {

using ::testing::ElementsAre;

class ResetTest : public SessionTest {
  protected:
    // Runs the worker and records what it posted, in order.
    int RunWorker() {
        ResetWorkerHooks hooks;
        hooks.showResult = [this](std::uint16_t status) {
            events.push_back("result " + std::to_string(status));
        };
        hooks.close = [this](ResetCloseCode code) {
            events.push_back("close " + std::to_string(code) + " at " + std::to_string(clock.now));
        };
        return RunResetWorker(device, clock, hooks);
    }
    std::vector<std::string> events;
};

TEST_F(ResetTest, CommandByteFollowsTheCommandSet) {
    AttachWithChannel();
    for (const bool vendor : {false, true}) {
        key->written.clear();
        keyState.vendorCommandSet = vendor;
        key->QueueMessage(kChannel, ctaphid::kCbor, {0x30});
        EXPECT_EQ(ResetAuthenticator(device), 0x30);
        EXPECT_EQ(SentMessages(*key).at(0).payload,
                  Bytes{static_cast<std::uint8_t>(vendor ? 0x47 : 0x07)});
    }
}

TEST_F(ResetTest, LegacyModelSendsThePlainApdu) {
    AttachWithChannel(kLegacyModel);
    keyState.selectedProductId = kLegacyModel;
    keyState.vendorCommandSet = true;
    key->QueueMessage(kChannel, ctaphid::kCbor, Hex("90 00"));
    EXPECT_EQ(ResetAuthenticator(device), 0x9000);
    EXPECT_EQ(SentMessages(*key).at(0).payload, Hex("80 E3 03 00 00"));
}

TEST_F(ResetTest, WorkerShowsTheOutcomeForHalfASecondThenCloses) {
    AttachWithChannel();
    key->QueueMessage(kChannel, ctaphid::kCbor, {0x00});
    EXPECT_EQ(RunWorker(), kResetWorkerFinished);
    EXPECT_THAT(events, ElementsAre("result 0", "close 1 at 1500"));
}

TEST_F(ResetTest, WorkerReportsARefusalLikeAnyOutcome) {
    AttachWithChannel();
    key->QueueMessage(kChannel, ctaphid::kCbor, {0x30});
    EXPECT_EQ(RunWorker(), kResetWorkerFinished);
    EXPECT_THAT(events, ElementsAre("result 48", "close 1 at 1500"));
}

TEST_F(ResetTest, WorkerClosesWithoutOutcomeWhenTheKeyWentAway) {
    AttachWithChannel();
    key->QueueReadFailure();
    key->QueueReadFailure();
    keyState.deviceAbsent = true;
    EXPECT_EQ(RunWorker(), kResetWorkerKeyGone);
    EXPECT_THAT(events, ElementsAre("close 2 at 1000"));
}

}  // namespace
}  // namespace kelvora::test
