#include <gtest/gtest.h>

#include <cstring>

#include "host.h"
#include "vkey/ctaphid_engine.h"

namespace kelvora::vkey::test {
namespace {

constexpr std::uint8_t kInit = 0x86;
constexpr std::uint8_t kPing = 0x81;
constexpr std::uint8_t kCbor = 0x90;
constexpr std::uint8_t kErrorCmd = 0xBF;

class EngineTest : public ::testing::Test {
  protected:
    std::optional<HidMessage> Feed(const Packet& packet, std::int64_t nowMs = 0) {
        std::uint8_t raw[kPacketSize];
        std::memcpy(raw, packet.data(), kPacketSize);
        return engine_.HandlePacket(raw, nowMs);
    }

    std::optional<HidMessage> FeedAll(std::uint32_t channel, std::uint8_t command,
                                      ByteView payload) {
        std::optional<HidMessage> last;
        for (const Packet& packet : Frame(channel, command, payload)) {
            last = Feed(packet);
        }
        return last;
    }

    std::uint32_t Allocate() {
        FeedAll(kBroadcastChannel, kInit, Bytes{9, 8, 7, 6, 5, 4, 3, 2});
        const std::optional<Packet> reply = engine_.PopOutput();
        EXPECT_TRUE(reply);
        return reply ? GetChannel(reply->data() + 7 + 8) : 0;
    }

    // The one error packet the engine queued, or -1.
    int ErrorCode() {
        std::optional<Packet> packet = engine_.PopOutput();
        if (!packet || (*packet)[4] != kErrorCmd || (*packet)[6] != 1) {
            return -1;
        }
        return (*packet)[7];
    }

    CtaphidEngine engine_{17};
};

TEST_F(EngineTest, InitEchoesNonceAndAllocatesDistinctChannels) {
    FeedAll(kBroadcastChannel, kInit, Bytes{1, 1, 1, 1, 1, 1, 1, 1});
    const std::optional<Packet> reply = engine_.PopOutput();
    ASSERT_TRUE(reply);
    EXPECT_EQ(GetChannel(reply->data()), kBroadcastChannel);
    EXPECT_EQ((*reply)[4], kInit);
    EXPECT_EQ((*reply)[6], 17);
    EXPECT_EQ(Bytes(reply->begin() + 7, reply->begin() + 15), Bytes(8, 1));
    const std::uint32_t first = GetChannel(reply->data() + 15);
    EXPECT_EQ((*reply)[19], kCtaphidProtocolVersion);
    EXPECT_EQ((*reply)[23] & kCapabilityCbor, kCapabilityCbor);
    const std::uint32_t second = Allocate();
    EXPECT_NE(first, second);
    EXPECT_NE(first, kBroadcastChannel);
    EXPECT_NE(first, kReservedChannel);
}

TEST_F(EngineTest, ReassemblesAtPacketBoundaries) {
    const std::uint32_t channel = Allocate();
    for (std::size_t size : {std::size_t{1}, std::size_t{57}, std::size_t{58}, std::size_t{116},
                             std::size_t{117}, std::size_t{1200}}) {
        Bytes payload(size);
        for (std::size_t i = 0; i < size; ++i) {
            payload[i] = static_cast<std::uint8_t>(i * 7);
        }
        std::optional<HidMessage> message = FeedAll(channel, kCbor, payload);
        ASSERT_TRUE(message) << size;
        EXPECT_EQ(message->payload, payload) << size;
    }
}

TEST_F(EngineTest, PingIsEchoedAcrossPackets) {
    const std::uint32_t channel = Allocate();
    const Bytes payload(100, 0x5A);
    EXPECT_FALSE(FeedAll(channel, kPing, payload));
    const std::optional<Packet> first = engine_.PopOutput();
    const std::optional<Packet> second = engine_.PopOutput();
    ASSERT_TRUE(first && second);
    EXPECT_EQ((*first)[5], 0);
    EXPECT_EQ((*first)[6], 100);
    EXPECT_EQ((*second)[4], 0);  // sequence 0
    EXPECT_EQ((*second)[5 + 42], 0x5A);
    EXPECT_FALSE(engine_.PopOutput());
}

TEST_F(EngineTest, ResponsesSplitAt57And59Bytes) {
    engine_.SendResponse(7, HidCommand::kCbor, Bytes(57, 1));
    EXPECT_TRUE(engine_.PopOutput());
    EXPECT_FALSE(engine_.PopOutput());
    engine_.SendResponse(7, HidCommand::kCbor, Bytes(58, 1));
    EXPECT_TRUE(engine_.PopOutput());
    const std::optional<Packet> cont = engine_.PopOutput();
    ASSERT_TRUE(cont);
    EXPECT_EQ((*cont)[4], 0);
    EXPECT_EQ((*cont)[5], 1);
    EXPECT_EQ((*cont)[6], 0);  // nothing after the one remaining byte
}

TEST_F(EngineTest, FramingFaultsAnswerWithTheirErrorCode) {
    const auto packetOf = [](std::uint32_t channel, std::uint8_t command, std::size_t length) {
        Packet packet{};
        PutChannel(packet.data(), channel);
        packet[4] = command;
        packet[5] = static_cast<std::uint8_t>(length >> 8);
        packet[6] = static_cast<std::uint8_t>(length);
        return packet;
    };
    struct Row {
        const char* name;
        std::vector<Packet> packets;
        std::uint32_t channel;  // 0: the allocated one
        int expected;
    };
    const std::uint32_t channel = Allocate();
    Packet badSeq = packetOf(channel, 3, 0);
    badSeq[4] = 3;
    const Row rows[] = {
        {"reserved channel", {packetOf(kReservedChannel, kCbor, 1)}, 0, 0x0B},
        {"broadcast non-INIT", {packetOf(kBroadcastChannel, kCbor, 1)}, 0, 0x0B},
        {"unallocated channel", {packetOf(0x12345678, kCbor, 1)}, 0, 0x0B},
        {"INIT nonce of 7 bytes", {packetOf(kBroadcastChannel, kInit, 7)}, 0, 0x03},
        {"message over 7609 bytes", {packetOf(channel, kCbor, 7610)}, 0, 0x03},
        {"unknown command", {packetOf(channel, 0xC5, 0)}, 0, 0x01},
        {"CTAP1 MSG on a key without it", {packetOf(channel, 0x83, 0)}, 0, 0x01},
        {"wrong sequence", {packetOf(channel, kCbor, 100), badSeq}, 0, 0x04},
        {"new request mid-message",
         {packetOf(channel, kCbor, 100), packetOf(channel, kPing, 1)},
         0,
         0x04},
        {"WINK with data", {packetOf(channel, 0x88, 1)}, 0, 0x03},
    };
    for (const Row& row : rows) {
        for (const Packet& packet : row.packets) {
            Feed(packet);
        }
        EXPECT_EQ(ErrorCode(), row.expected) << row.name;
        EXPECT_FALSE(engine_.HasOutput()) << row.name;
    }
}

TEST_F(EngineTest, SecondChannelIsBusyWhileAMessageArrives) {
    const std::uint32_t a = Allocate();
    const std::uint32_t b = Allocate();
    Feed(Frame(a, kCbor, Bytes(58, 0))[0]);
    Feed(Frame(b, kCbor, Bytes(1, 0))[0]);
    EXPECT_EQ(ErrorCode(), 0x06);
    // The interrupted message on channel a still completes.
    EXPECT_TRUE(Feed(Frame(a, kCbor, Bytes(58, 0))[1]).has_value());
}

TEST_F(EngineTest, BusyChannelRefusesRequestsButTakesCancel) {
    const std::uint32_t a = Allocate();
    const std::uint32_t b = Allocate();
    engine_.SetBusyChannel(a);
    FeedAll(b, kCbor, Bytes{4});
    EXPECT_EQ(ErrorCode(), 0x06);
    FeedAll(a, kCbor, Bytes{4});
    EXPECT_EQ(ErrorCode(), 0x06);
    std::optional<HidMessage> cancel = FeedAll(a, 0x91, {});
    ASSERT_TRUE(cancel);
    EXPECT_EQ(cancel->command, HidCommand::kCancel);
    // INIT on the busy channel resynchronises it and abandons the transaction.
    std::optional<HidMessage> init = FeedAll(a, kInit, Bytes(8, 3));
    ASSERT_TRUE(init);
    EXPECT_EQ(init->command, HidCommand::kInit);
    const std::optional<Packet> reply = engine_.PopOutput();
    ASSERT_TRUE(reply);
    EXPECT_EQ(GetChannel(reply->data() + 15), a);
}

TEST_F(EngineTest, StalledMessageTimesOut) {
    const std::uint32_t channel = Allocate();
    Feed(Frame(channel, kCbor, Bytes(100, 0))[0], 1000);
    engine_.Tick(1000 + kAssemblyTimeoutMs - 1);
    EXPECT_FALSE(engine_.HasOutput());
    engine_.Tick(1000 + kAssemblyTimeoutMs);
    EXPECT_EQ(ErrorCode(), 0x05);
    // The late continuation is a stray now and is ignored.
    Feed(Frame(channel, kCbor, Bytes(100, 0))[1], 3000);
    EXPECT_FALSE(engine_.HasOutput());
}

TEST_F(EngineTest, ResetForgetsChannels) {
    const std::uint32_t channel = Allocate();
    engine_.Reset();
    FeedAll(channel, kCbor, Bytes{4});
    EXPECT_EQ(ErrorCode(), 0x0B);
}

}  // namespace
}  // namespace kelvora::vkey::test
