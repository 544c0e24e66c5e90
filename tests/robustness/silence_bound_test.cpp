// The transport's bound on a key that falls silent: keep-alives extend the wait without
// limit, but kKeySilenceLimitMs without any packet fails the exchange. Time is scripted:
// every read that finds nothing moves the clock by the time it would have waited.
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <memory>
#include <optional>

#include "tests/common/fakes.h"
#include "transport/ctaphid.h"
#include "transport/device_ids.h"
#include "transport/fido_device.h"
#include "transport/hid_device_info.h"

namespace kelvora::test {
namespace {

using Bytes = std::vector<std::uint8_t>;
const Bytes kQuietChannel = {0x11, 0x22, 0x33, 0x44};

// What the key does next: send a packet, or stay quiet for a while.
struct Step {
    std::optional<Bytes> packet;  // 64 bytes
    std::uint64_t quietMs = 0;
};

struct Script {
    std::deque<Step> steps;
    int blockingReads = 0;
};

class ScriptedConnection final : public HidConnection {
  public:
    ScriptedConnection(Script& script, FakeClock& clock) : script_(script), clock_(clock) {}

    HidIoResult Write(std::span<const std::uint8_t> report) override {
        // The INIT answer echoes the host's nonce (packets here have no report id).
        constexpr std::size_t kNonceInPacket = ctaphid::kInitPayloadOffset - 1;
        if (report[ctaphid::kCommandOffset] == ctaphid::kInit) {
            for (Step& step : script_.steps) {
                if (step.packet && (*step.packet)[ctaphid::kCommandOffset - 1] == ctaphid::kInit) {
                    std::copy_n(report.begin() + ctaphid::kInitPayloadOffset,
                                ctaphid::kInitNonceSize, step.packet->begin() + kNonceInPacket);
                }
            }
        }
        return {true, report.size(), 0};
    }
    // A blocking read would hang the test on a silent key: counted, and failed.
    HidIoResult Read(std::span<std::uint8_t> /*report*/) override {
        ++script_.blockingReads;
        return {false, 0, 1};
    }
    HidIoResult ReadWithin(std::span<std::uint8_t> report, std::uint32_t timeoutMs) override {
        if (script_.steps.empty()) {  // silent for ever
            clock_.now += timeoutMs;
            return {false, 0, kHidReadTimedOut};
        }
        Step& step = script_.steps.front();
        if (step.quietMs > 0) {
            const std::uint64_t waited = std::min<std::uint64_t>(step.quietMs, timeoutMs);
            step.quietMs -= waited;
            clock_.now += waited;
            if (step.quietMs == 0 && !step.packet) {
                script_.steps.pop_front();
            }
            return {false, 0, kHidReadTimedOut};
        }
        report[0] = ctaphid::kReportId;
        std::copy(step.packet->begin(), step.packet->end(), report.begin() + 1);
        script_.steps.pop_front();
        return {true, ctaphid::kReportLength, 0};
    }
    void FlushInput() override {}
    bool ReportLengths(HidReportLengths& lengths) override {
        lengths = {ctaphid::kReportLength, ctaphid::kReportLength};
        return true;
    }
    void Close() override {}

  private:
    Script& script_;
    FakeClock& clock_;
};

class ScriptedBackend final : public HidBackend {
  public:
    ScriptedBackend(Script& script, FakeClock& clock) : script_(script), clock_(clock) {}
    std::vector<HidInterfaceInfo> Enumerate() override {
        HidInterfaceInfo info;
        info.path = "/dev/scripted#" + InterfaceIdentity(kMakerVendorId, kSupportedProducts[2]);
        info.vendorId = kMakerVendorId;
        info.productId = kSupportedProducts[2];
        info.reportLengths = {ctaphid::kReportLength, ctaphid::kReportLength};
        return {info};
    }
    HidOpenResult Open(const HidInterfaceInfo&) override {
        return {std::make_unique<ScriptedConnection>(script_, clock_), HidOpenError::kNone};
    }

  private:
    Script& script_;
    FakeClock& clock_;
};

Bytes Packet(std::uint8_t command, std::uint16_t length, const Bytes& payload,
             const Bytes& channel = kQuietChannel) {
    Bytes packet(ctaphid::kPacketSize, 0);
    std::copy(channel.begin(), channel.end(), packet.begin());
    packet[4] = command;
    packet[5] = static_cast<std::uint8_t>(length >> 8);
    packet[6] = static_cast<std::uint8_t>(length);
    std::copy(payload.begin(), payload.end(), packet.begin() + 7);
    return packet;
}

Bytes InitAnswer() {
    constexpr std::size_t kInitAnswerSize = 17;
    Bytes payload(kInitAnswerSize, 0);
    std::copy(kQuietChannel.begin(), kQuietChannel.end(),
              payload.begin() + ctaphid::kInitNonceSize);
    return Packet(ctaphid::kInit, kInitAnswerSize, payload, {0xFF, 0xFF, 0xFF, 0xFF});
}

Bytes KeepAlive() {
    return Packet(ctaphid::kKeepAlive, 1, {0x02});
}

class SilenceBoundTest : public ::testing::Test {
  protected:
    void SetUp() override {
        device.SetTransportKind(static_cast<std::uint32_t>(TransportKind::kHid));
        ASSERT_EQ(device.EnumerateDevices(), 1u);
        ASSERT_EQ(device.SelectDevice(kMakerVendorId, kSupportedProducts[2]), 1);
        script.steps.push_back({InitAnswer(), 0});
    }

    int Exchange() {
        const std::uint8_t request[] = {0x04};
        response.assign(1024, 0);
        length = static_cast<std::uint32_t>(response.size());
        start = clock.now;
        return device.Hid().ExchangeReports(request, 1, response.data(), &length);
    }
    std::uint64_t Elapsed() const { return clock.now - start; }

    Script script;
    FakeClock clock;
    NullDebugOutput debug;
    KeyState keyState;
    ScriptedBackend backend{script, clock};
    FidoDevice device{backend, keyState, clock, debug};
    std::vector<std::uint8_t> response;
    std::uint32_t length = 0;
    std::uint64_t start = 0;
};

TEST_F(SilenceBoundTest, SilentKeyFailsOnceTheLimitHasPassed) {
    EXPECT_EQ(Exchange(), -1);
    EXPECT_GE(Elapsed(), kKeySilenceLimitMs);
    EXPECT_LT(Elapsed(), kKeySilenceLimitMs + kSilencePollMs);
    EXPECT_EQ(script.blockingReads, 0);
}

TEST_F(SilenceBoundTest, KeepAlivesKeepTheWaitGoingPastTheLimit) {
    // Keep-alives, each just inside the limit, then the answer before the deadline.
    const std::uint64_t gap = kKeySilenceLimitMs - kSilencePollMs;
    for (int i = 0; i < 3; ++i) {
        script.steps.push_back({std::nullopt, gap});
        script.steps.push_back({KeepAlive(), 0});
    }
    script.steps.push_back({Packet(ctaphid::kCbor, 2, {0x00, 0xA0}), 0});
    ASSERT_EQ(Exchange(), 0);
    EXPECT_EQ(length, 2u);
    EXPECT_GT(Elapsed(), 2 * kKeySilenceLimitMs);
}

TEST_F(SilenceBoundTest, SilenceAfterKeepAlivesFailsTheLimitAfterTheLastOne) {
    script.steps.push_back({std::nullopt, 3000});
    script.steps.push_back({KeepAlive(), 0});
    ASSERT_EQ(Exchange(), -1);
    EXPECT_GE(Elapsed(), 3000 + kKeySilenceLimitMs);
    EXPECT_LT(Elapsed(), 3000 + kKeySilenceLimitMs + kSilencePollMs);
}

TEST_F(SilenceBoundTest, SilenceInTheMiddleOfAMessageFails) {
    // The first packet of a 100-byte answer, and never the rest.
    script.steps.push_back({Packet(ctaphid::kCbor, 100, Bytes(57, 0xA5)), 0});
    EXPECT_EQ(Exchange(), -1);
    EXPECT_GE(Elapsed(), kKeySilenceLimitMs);
}

TEST_F(SilenceBoundTest, SilentChannelInitialisationDoesNotHang) {
    script.steps.clear();  // no answer to CTAPHID_INIT either
    EXPECT_EQ(Exchange(), -1);
    EXPECT_EQ(script.blockingReads, 0);
}

// Anything but the next continuation packet ends the message as a failure, so foreign
// bytes never end up in it.
struct InterruptCase {
    const char* name;
    Bytes second;
};

class InterruptedMessageTest : public SilenceBoundTest,
                               public ::testing::WithParamInterface<InterruptCase> {};

TEST_P(InterruptedMessageTest, FailsInsteadOfSplicing) {
    script.steps.push_back({Packet(ctaphid::kCbor, 100, Bytes(57, 0xA5)), 0});
    script.steps.push_back({GetParam().second, 0});
    script.steps.push_back({Packet(0x01, 0, {}), 0});  // what a correct key would send next
    EXPECT_EQ(Exchange(), -1);
}

Bytes Continuation(std::uint8_t sequence) {
    Bytes packet(ctaphid::kPacketSize, 0x5A);
    std::copy(kQuietChannel.begin(), kQuietChannel.end(), packet.begin());
    packet[4] = sequence;
    return packet;
}

INSTANTIATE_TEST_SUITE_P(
    Packets, InterruptedMessageTest,
    ::testing::Values(InterruptCase{"ErrorPacket", Packet(0xBF, 1, {0x7F})},
                      InterruptCase{"KeepAlive", Packet(ctaphid::kKeepAlive, 1, {0x02})},
                      InterruptCase{"SkippedSequence", Continuation(1)},
                      InterruptCase{"NewInitPacket", Packet(ctaphid::kCbor, 2, {0x00, 0xA0})}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kelvora::test
