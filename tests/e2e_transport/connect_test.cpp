// The client's discovery, connection and exchanges against virtual keys of each kind.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <ostream>
#include <thread>

#include "rig.h"
#include "tests/common/wait.h"

namespace kelvora::test {
namespace {

struct ModelCase {
    const char* name;
    int model;
    std::uint8_t firmware;
    bool aes;
    bool vendorCommandSet;
};

void PrintTo(const ModelCase& c, std::ostream* out) {
    *out << c.name;
}

class ConnectEachModel : public ::testing::TestWithParam<ModelCase> {};

TEST_P(ConnectEachModel, ConnectsQueriesFirmwareAndTalks) {
    const ModelCase& c = GetParam();
    Rig rig;
    vkey::Config config;
    config.model = c.model;
    config.firmware = c.firmware;
    rig.AddKey(config);

    const ConnectResult result = rig.Connect();
    ASSERT_TRUE(result.connected);
    EXPECT_EQ(result.productId, config.productId());
    EXPECT_EQ(rig.keyState_.selectedProductId, config.productId());
    EXPECT_EQ(result.firmwareStatus, kSwSuccess);
    EXPECT_EQ(rig.device_.SecureMessagingAes(), c.aes);
    EXPECT_EQ(rig.keyState_.vendorCommandSet, c.vendorCommandSet);
    EXPECT_NE(std::strstr(result.description.data(), "VID:0x4b56"), nullptr)
        << result.description.data();

    if (IsLegacyModel(config.productId())) {
        // The key checks the MAC under the cipher the firmware byte selected.
        const std::uint16_t slot = 9;
        rig.keys_[0]->EditState([&](vkey::State& state) { state.templates[slot] = {}; });
        const SlotRead read = rig.ReadSlots();
        ASSERT_EQ(read.status, kSwSuccess);
        ASSERT_EQ(read.length, kSlotBitmapSize);
        EXPECT_EQ(read.bitmap[slot / 8], 1U << (slot % 8));
        EXPECT_EQ(rig.ReadSlots(/*spoilChallenge=*/true).status, kSwSecureMessagingError);
    } else {
        std::vector<std::uint8_t> info;
        ASSERT_EQ(rig.GetInfo(info), kCtapSuccess);
        EXPECT_TRUE(LooksLikeGetInfo(info));
    }
    EXPECT_TRUE(rig.debug_.lines.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Models, ConnectEachModel,
    ::testing::Values(ModelCase{"LegacyDes", 1, 16, false, false},
                      ModelCase{"LegacyAes", 2, 17, true, false},
                      ModelCase{"Ctap2", 3, 17, true, false},
                      ModelCase{"Ctap2VendorCommands", 4, 18, true, true},
                      ModelCase{"SeventhModelVendorCommands", 7, 20, true, true}),
    [](const ::testing::TestParamInfo<ModelCase>& info) { return info.param.name; });

TEST(ConnectDevice, SettleDelayModelAnswersAfterTheSessionSleptThroughTheDelay) {
    Rig rig;
    vkey::Config config;
    config.model = 6;
    rig.AddKey(config);  // plugged in just now: the key drops packets for two seconds

    const ConnectResult result = rig.Connect();
    ASSERT_TRUE(result.connected);
    EXPECT_EQ(result.productId, kSettleDelayProductId);
    EXPECT_EQ(result.firmwareStatus, 0) << "the sixth model is not asked for its firmware";
    EXPECT_GE(rig.clock_.SleptMs(), static_cast<std::uint64_t>(config.settleDelayMs));
    std::vector<std::uint8_t> info;
    ASSERT_EQ(rig.GetInfo(info), kCtapSuccess);
    EXPECT_TRUE(LooksLikeGetInfo(info));
}

TEST(ConnectDevice, TwoKeysTheEarlierModelOfTheListWins) {
    Rig rig;
    vkey::Config later;
    later.model = 5;
    vkey::Config earlier;
    earlier.model = 3;
    vkey::VirtualKey& laterKey = rig.AddKey(later);  // enumerated first
    vkey::VirtualKey& earlierKey = rig.AddKey(earlier);

    const ConnectResult result = rig.Connect();
    ASSERT_TRUE(result.connected);
    EXPECT_EQ(rig.device_.Hid().Devices().size(), 2U);
    EXPECT_EQ(result.productId, earlier.productId());
    std::vector<std::uint8_t> info;
    ASSERT_EQ(rig.GetInfo(info), kCtapSuccess);
    EXPECT_FALSE(earlierKey.SnapshotState().history.empty());
    EXPECT_TRUE(laterKey.SnapshotState().history.empty()) << "traffic went to the wrong key";
}

TEST(ConnectDevice, UnopenableKeySetsAccessDeniedAndIsPassedOver) {
    Rig rig;
    vkey::Config config;
    rig.AddKey(config, Unopenable());
    ConnectResult result = rig.Connect();
    EXPECT_FALSE(result.connected);
    EXPECT_TRUE(rig.keyState_.deviceAccessDenied);
    EXPECT_EQ(rig.keyState_.selectedProductId, 0);

    // An openable key of a later model is used; the flag still tells about the other.
    rig.keyState_.deviceAccessDenied = false;
    vkey::Config other;
    other.model = 4;
    rig.AddKey(other);
    result = rig.Connect();
    ASSERT_TRUE(result.connected);
    EXPECT_EQ(result.productId, other.productId());
    EXPECT_TRUE(rig.keyState_.deviceAccessDenied);
}

TEST(ConnectDevice, NothingPluggedInConnectsNothing) {
    Rig rig;
    rig.AddKey(vkey::Config{}, {}, /*plug=*/false);
    const ConnectResult result = rig.Connect();
    EXPECT_FALSE(result.connected);
    EXPECT_FALSE(rig.keyState_.deviceAccessDenied);
}

// A fingerprint wait nobody answers (prototype enrollBegin, 5 s time-out on a clock that
// does not move): the exchange blocks in Read, skipping keep-alives.
const std::vector<std::uint8_t> kWaitingEnrollBegin = {0x40, 0xA3, 0x01, 0x01, 0x02, 0x01,
                                                       0x03, 0xA1, 0x03, 0x19, 0x13, 0x88};

TEST(Removal, UnplugDuringABlockedReadFailsTheExchangeAndReportsTheRemoval) {
    Rig rig;
    vkey::VirtualKey& key = rig.AddKey(vkey::Config{});
    std::mutex eventsMutex;
    std::vector<std::pair<std::string, vkey::DeviceChange>> events;
    rig.backend_.SetDeviceChangeObserver([&](const std::string& path, vkey::DeviceChange c) {
        const std::lock_guard lock(eventsMutex);
        events.emplace_back(path, c);
    });
    ASSERT_TRUE(rig.Connect().connected);

    std::atomic<int> status{-1};
    std::thread worker([&] {
        std::vector<std::uint8_t> response(kApduBufferSize);
        std::uint32_t length = static_cast<std::uint32_t>(response.size());
        status = rig.device_.SendCborCommand(kWaitingEnrollBegin.data(),
                                             static_cast<std::int32_t>(kWaitingEnrollBegin.size()),
                                             response.data(), &length);
    });
    ASSERT_TRUE(KELVORA_WAIT_UNTIL(key.waitingForUser()));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));  // let it block in Read
    EXPECT_EQ(status, -1) << "the exchange ended before the key answered";
    key.Unplug();
    worker.join();
    EXPECT_EQ(status, kCtapTransportFailure);
    const std::lock_guard lock(eventsMutex);
    ASSERT_EQ(events.size(), 1U);
    EXPECT_EQ(events[0].first, rig.paths_[0]);
    EXPECT_EQ(events[0].second, vkey::DeviceChange::kRemoved);
}

TEST(Removal, ReplugNeedsDiscoveryAgainAndAllocatesANewChannel) {
    Rig rig;
    vkey::VirtualKey& key = rig.AddKey(vkey::Config{});
    std::vector<vkey::DeviceChange> events;
    rig.backend_.SetDeviceChangeObserver(
        [&](const std::string&, vkey::DeviceChange c) { events.push_back(c); });
    ASSERT_TRUE(rig.Connect().connected);
    std::vector<std::uint8_t> info;
    ASSERT_EQ(rig.GetInfo(info), kCtapSuccess);
    const auto firstChannel = rig.device_.Hid().ChannelId();

    key.Unplug();
    key.Plug();
    EXPECT_EQ(events, (std::vector<vkey::DeviceChange>{vkey::DeviceChange::kRemoved,
                                                       vkey::DeviceChange::kArrived}));
    // The old connection belongs to the earlier plug-in, even though the key is back.
    EXPECT_EQ(rig.GetInfo(info), kCtapTransportFailure);

    ASSERT_TRUE(rig.Connect().connected);
    ASSERT_EQ(rig.GetInfo(info), kCtapSuccess);
    EXPECT_TRUE(LooksLikeGetInfo(info));
    EXPECT_NE(rig.device_.Hid().ChannelId(), firstChannel);
}

}  // namespace
}  // namespace kelvora::test
