#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "key_fixture.h"

namespace kelvora::vkey::test {
namespace {

const Bytes kGetInfoRequest = {0x04};

TEST(VirtualKey, UnplugWakesABlockedReaderAndRaisesTheEvent) {
    ManualClock clock;
    VirtualKey key(Config{}, clock);
    std::atomic<int> removals{0};
    key.SetRemovalObserver([&] { removals++; });
    key.Plug();
    Host host(key);
    host.Init();
    // A fingerprint wait that nobody answers: the reader blocks until the key goes away.
    host.Send(host.channel(), 0x90,
              Bytes{0x40, 0xA3, 0x01, 0x01, 0x02, 0x01, 0x03, 0xA1, 0x03, 0x19, 0x13, 0x88});
    std::atomic<bool> removed{false};
    std::thread reader([&] {
        Packet packet{};
        VirtualKey::ReadResult result;
        do {
            result = key.ReadPacket(packet);
        } while (result == VirtualKey::ReadResult::kPacket);  // keep-alives
        removed = result == VirtualKey::ReadResult::kRemoved;
    });
    clock.Advance(1000);  // keep-alives flow meanwhile; the 5 s wait has not ended
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    key.Unplug();
    reader.join();
    EXPECT_TRUE(removed);
    EXPECT_EQ(removals, 1);
    std::uint8_t raw[kPacketSize] = {};
    EXPECT_FALSE(key.WritePacket(raw));
    Packet packet{};
    EXPECT_EQ(key.ReadPacket(packet, 0), VirtualKey::ReadResult::kRemoved);
    key.Unplug();
    EXPECT_EQ(removals, 1) << "a second unplug is no new event";
}

TEST(VirtualKey, ReaderOnAnotherThreadSeesTheFingerAndTheClock) {
    ManualClock clock;
    VirtualKey key(Config{}, clock);
    key.Plug();
    Host host(key);
    host.Init();
    host.Send(host.channel(), 0x90,
              Bytes{0x40, 0xA3, 0x01, 0x01, 0x02, 0x01, 0x03, 0xA1, 0x03, 0x19, 0x13, 0x88});
    std::thread toucher([&] {
        for (int i = 0; i < 5; ++i) {
            clock.Advance(100);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        key.PlaceFinger(5);
    });
    int keepalives = 0;
    Packet packet{};
    while (key.ReadPacket(packet, 5000) == VirtualKey::ReadResult::kPacket && packet[4] == 0xBB) {
        ++keepalives;
    }
    toucher.join();
    EXPECT_EQ(packet[4], 0x90);
    EXPECT_EQ(packet[7], 0x00);
    EXPECT_GE(keepalives, 1);
    EXPECT_LE(keepalives, 6);
}

TEST(VirtualKey, KeepalivesEveryHundredMilliseconds) {
    KeyFixture fixture;
    EXPECT_FALSE(fixture.host_.Cbor(Bytes{0x07}));  // reset waits for a touch
    EXPECT_EQ(fixture.host_.pendingKeepalives(), 1);
    fixture.clock_.Advance(99);
    EXPECT_FALSE(fixture.host_.Receive());
    EXPECT_EQ(fixture.host_.pendingKeepalives(), 1);
    fixture.clock_.Advance(1);
    EXPECT_FALSE(fixture.host_.Receive());
    EXPECT_EQ(fixture.host_.pendingKeepalives(), 2);
    // A jump of the clock yields one keep-alive, not a burst.
    fixture.clock_.Advance(1000);
    EXPECT_FALSE(fixture.host_.Receive());
    EXPECT_EQ(fixture.host_.pendingKeepalives(), 3);
}

TEST(VirtualKey, OneShotFaults) {
    KeyFixture fixture;
    const std::optional<Bytes> good = fixture.host_.Cbor(kGetInfoRequest);
    ASSERT_TRUE(good);

    fixture.key_.InjectFault(Fault::kMalformedNextResponse);
    const std::optional<Bytes> bad = fixture.host_.Cbor(kGetInfoRequest);
    ASSERT_TRUE(bad);
    EXPECT_EQ(bad->at(0), 0x00);
    EXPECT_LT(bad->size(), good->size());
    EXPECT_FALSE(DecodeCbor(ByteView(*bad).subspan(1)));
    EXPECT_EQ(fixture.host_.Cbor(kGetInfoRequest), good);

    fixture.key_.InjectFault(Fault::kNeverAnswerNext);
    EXPECT_FALSE(fixture.host_.Cbor(kGetInfoRequest));
    Packet packet{};
    EXPECT_EQ(fixture.key_.ReadPacket(packet, 20), VirtualKey::ReadResult::kTimedOut);
    EXPECT_EQ(fixture.host_.Cbor(kGetInfoRequest), good);
}

TEST(VirtualKey, SettlingModelDropsEarlyPackets) {
    Config config;
    config.model = 6;
    ManualClock clock;
    VirtualKey key(config, clock);
    key.Plug();
    Host host(key);
    host.Send(kBroadcastChannel, 0x86, Bytes(8, 1));
    EXPECT_FALSE(host.Receive());
    clock.Advance(config.settleDelayMs);
    EXPECT_NE(host.Init(), 0U);
}

TEST(VirtualKey, StatePersistsAcrossPlugsAndHistoryRecordsStatuses) {
    KeyFixture fixture;
    PinHost pin(fixture.host_);
    ASSERT_EQ(pin.SetPin("1234"), 0);
    fixture.key_.Unplug();
    fixture.key_.Plug();
    fixture.host_.Init();
    Bytes token;
    EXPECT_EQ(pin.GetToken("1234", token), 0);
    const State state = fixture.key_.SnapshotState();
    ASSERT_GE(state.history.size(), 4U);
    EXPECT_EQ(state.history.back().request.at(0), 0x06);
    EXPECT_EQ(state.history.back().status, 0);
    fixture.host_.Cbor(Bytes{0x80, 0xE3, 0x00, 0x00, 0x03});
    EXPECT_EQ(fixture.key_.SnapshotState().history.back().status, 0x9000);
}

TEST(VirtualKey, InitOnTheBusyChannelAbandonsTheWait) {
    KeyFixture fixture;
    EXPECT_FALSE(fixture.host_.Cbor(Bytes{0x07}));
    EXPECT_TRUE(fixture.key_.waitingForUser());
    fixture.host_.Send(fixture.host_.channel(), 0x86, Bytes(8, 9));
    std::optional<HidResponse> init = fixture.host_.Receive();
    ASSERT_TRUE(init);
    EXPECT_EQ(init->command, 0x86);
    EXPECT_FALSE(fixture.key_.waitingForUser());
    fixture.key_.PlaceFinger(1);
    EXPECT_FALSE(fixture.host_.Receive()) << "the abandoned reset must not run";
    EXPECT_TRUE(fixture.host_.Cbor(kGetInfoRequest));
}

TEST(VirtualKey, ReaderOfAnEndedPlugInNeverTakesTheNextPlugInsPackets) {
    ManualClock clock;
    VirtualKey key(Config{}, clock);
    std::vector<bool> changes;
    const int observer = key.AddPlugObserver([&](bool plugged) { changes.push_back(plugged); });
    key.Plug();
    const std::uint64_t first = key.plugIn();
    ASSERT_NE(first, VirtualKey::kNotPlugged);
    std::atomic<bool> reading{false};
    VirtualKey::ReadResult result = VirtualKey::ReadResult::kPacket;
    std::thread reader([&] {
        Packet packet{};
        reading = true;
        result = key.ReadPacket(packet, 5000, first);
    });
    while (!reading) {
        std::this_thread::yield();
    }
    // Out and back in before the reader wakes, and a packet for the new plug-in at once.
    key.Unplug();
    key.Plug();
    std::uint8_t init[kPacketSize] = {0xFF, 0xFF, 0xFF, 0xFF, 0x86, 0x00, 0x08};
    EXPECT_TRUE(key.WritePacket(init, key.plugIn()));
    reader.join();
    EXPECT_EQ(result, VirtualKey::ReadResult::kRemoved);
    EXPECT_NE(key.plugIn(), first);
    EXPECT_FALSE(key.WritePacket(init, first));
    EXPECT_TRUE(key.TryReadPacket(key.plugIn()).has_value()) << "the INIT answer is still there";

    key.RemovePlugObserver(observer);
    key.Unplug();
    EXPECT_EQ(changes, (std::vector<bool>{true, false, true}));
    EXPECT_EQ(key.plugIn(), VirtualKey::kNotPlugged);
}

// The removal trigger counts whole request messages, drops the chosen one unprocessed, and
// removes the key as Unplug would, calling the observers on the writing thread without the
// key's lock held.
TEST(VirtualKey, UnplugBeforeRequestRemovesTheKeyInsteadOfAnsweringThatRequest) {
    KeyFixture fixture;
    VirtualKey& key = fixture.key_;
    std::atomic<int> removals{0};
    key.SetRemovalObserver([&] { removals++; });
    std::vector<bool> changes;
    std::thread::id observerThread;
    const int observer = key.AddPlugObserver([&](bool plugged) {
        changes.push_back(plugged);
        observerThread = std::this_thread::get_id();
        EXPECT_EQ(key.plugged(), plugged) << "called back into the key from the observer";
    });

    key.UnplugBeforeRequest(5);
    key.DisarmUnplug();
    const std::uint64_t before = key.requestCount();
    ASSERT_TRUE(fixture.host_.Cbor(kGetInfoRequest));
    EXPECT_EQ(key.requestCount(), before + 1);

    key.UnplugBeforeRequest(1);
    ASSERT_TRUE(fixture.host_.Cbor(kGetInfoRequest)) << "index 0 is answered";
    const std::size_t history = key.SnapshotState().history.size();
    const std::uint64_t plugIn = key.plugIn();
    VirtualKey::ReadResult result = VirtualKey::ReadResult::kPacket;
    std::thread reader([&] {
        Packet packet{};
        result = key.ReadPacket(packet, 5000, plugIn);
    });
    // A two-packet message: the key stays until its last packet is in.
    Bytes longGetInfo(100, 0x00);
    longGetInfo[0] = kGetInfoRequest[0];
    const std::vector<Packet> packets =
        Frame(fixture.host_.channel(), static_cast<std::uint8_t>(HidCommand::kCbor), longGetInfo);
    ASSERT_EQ(packets.size(), 2U);
    fixture.host_.Write(packets[0]);
    EXPECT_TRUE(key.plugged());
    fixture.host_.Write(packets[1]);
    EXPECT_FALSE(key.plugged()) << "removed before WritePacket returned";
    reader.join();
    EXPECT_EQ(result, VirtualKey::ReadResult::kRemoved);
    EXPECT_EQ(removals, 1);
    EXPECT_EQ(changes, (std::vector<bool>{false}));
    EXPECT_EQ(observerThread, std::this_thread::get_id());
    EXPECT_EQ(key.SnapshotState().history.size(), history) << "the dropped request ran";

    // One-shot, and the count goes on across plug-ins.
    key.Plug();
    fixture.host_.Init();
    EXPECT_TRUE(fixture.host_.Cbor(kGetInfoRequest));
    EXPECT_EQ(key.requestCount(), before + 5);
    key.RemovePlugObserver(observer);
}

}  // namespace
}  // namespace kelvora::vkey::test
