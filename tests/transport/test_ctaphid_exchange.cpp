// CTAPHID framing of one exchange: packet split and reassembly, keep-alives, the channel,
// failures and their debug lines.
#include <gmock/gmock.h>

#include <numeric>

#include "session_fixture.h"
#include "transport/exchange_deadline.h"

namespace kelvora::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

Bytes Counting(std::size_t length, std::uint8_t start = 0) {
    Bytes bytes(length);
    std::iota(bytes.begin(), bytes.end(), start);
    return bytes;
}

class ExchangeTest : public SessionTest {
  protected:
    int Exchange(const Bytes& request, Bytes& response, std::uint32_t capacity = 4096) {
        response.assign(capacity, 0xEE);
        responseLength = capacity;
        return device.Hid().ExchangeReports(request.data(),
                                            static_cast<std::int32_t>(request.size()),
                                            response.data(), &responseLength);
    }
    std::uint32_t responseLength = 0;
};

struct SplitCase {
    std::size_t length;
    std::size_t packets;
};

class RequestSplitTest : public ExchangeTest, public ::testing::WithParamInterface<SplitCase> {};

TEST_P(RequestSplitTest, SplitsIntoInitAndNumberedContinuationPackets) {
    const SplitCase c = GetParam();
    AttachWithChannel();
    key->QueueMessage(kChannel, ctaphid::kCbor, {0x00});
    const Bytes request = Counting(c.length, 1);
    Bytes response;
    ASSERT_EQ(Exchange(request, response), 0);

    const std::vector<Bytes> writes = MessageWrites();
    ASSERT_EQ(writes.size(), c.packets);
    Bytes sent;
    for (std::size_t i = 0; i < writes.size(); ++i) {
        const Bytes& report = writes[i];
        ASSERT_EQ(report.size(), ctaphid::kReportLength);
        EXPECT_EQ(report[0], 0x00) << "report id, packet " << i;
        EXPECT_EQ(Bytes(report.begin() + 1, report.begin() + 5), kChannel) << "packet " << i;
        if (i == 0) {
            EXPECT_EQ(report[5], ctaphid::kCbor);
            EXPECT_EQ((report[6] << 8) | report[7], static_cast<int>(c.length));
            sent.insert(sent.end(), report.begin() + 8, report.end());
        } else {
            EXPECT_EQ(report[5], i - 1) << "sequence number";
            sent.insert(sent.end(), report.begin() + 6, report.end());
        }
    }
    // What follows the message in the last packet is zero padding.
    EXPECT_EQ(Bytes(sent.begin(), sent.begin() + static_cast<long>(c.length)), request);
    EXPECT_TRUE(std::all_of(sent.begin() + static_cast<long>(c.length), sent.end(),
                            [](std::uint8_t b) { return b == 0; }));
}

INSTANTIATE_TEST_SUITE_P(Boundaries, RequestSplitTest,
                         ::testing::Values(SplitCase{1, 1}, SplitCase{57, 1}, SplitCase{58, 2},
                                           SplitCase{57 + 59, 2}, SplitCase{57 + 59 + 1, 3},
                                           SplitCase{7609, 129}),
                         [](const auto& info) {
                             return "Bytes" + std::to_string(info.param.length);
                         });

class ResponseReassemblyTest : public ExchangeTest,
                               public ::testing::WithParamInterface<std::size_t> {};

TEST_P(ResponseReassemblyTest, ReassemblesByLengthField) {
    const std::size_t length = GetParam();
    AttachWithChannel();
    const Bytes message = Counting(length, 7);
    key->QueueMessage(kChannel, ctaphid::kCbor, message);
    Bytes response;
    ASSERT_EQ(Exchange({0x04}, response), 0);
    EXPECT_EQ(responseLength, length);
    EXPECT_EQ(Bytes(response.begin(), response.begin() + static_cast<long>(length)), message);
    EXPECT_TRUE(key->reads.empty()) << "every packet of the response is consumed";
}

INSTANTIATE_TEST_SUITE_P(Boundaries, ResponseReassemblyTest,
                         ::testing::Values(1, 57, 58, 57 + 59, 57 + 59 + 1, 4096));

TEST_F(ExchangeTest, SkipsKeepAlivesAndEmptyPacketsBeforeTheResponse) {
    AttachWithChannel();
    for (int i = 0; i < 2000; ++i) {
        key->QueuePacket(InitPacket(kChannel, ctaphid::kKeepAlive, 1, {0x02}));
        key->QueuePacket(InitPacket(kChannel, ctaphid::kCbor, 0, {}));
    }
    key->QueueMessage(kChannel, ctaphid::kCbor, {0x00, 0xA1});
    Bytes response;
    ASSERT_EQ(Exchange({0x40}, response), 0);
    EXPECT_EQ(responseLength, 2U);
    EXPECT_EQ(response[1], 0xA1);
}

TEST_F(ExchangeTest, KeepAlivesDoNotExtendTheWaitPastTheDeadline) {
    // A request that waits for a person (0x40) gets longer than one a key answers at once.
    AttachWithChannel();
    clock.stepPerReading = 50;
    for (const std::uint8_t command : {0x04, 0x40}) {
        for (int i = 0; i < 5000; ++i) {
            key->QueuePacket(InitPacket(kChannel, ctaphid::kKeepAlive, 1, {0x02}));
        }
        key->QueueMessage(kChannel, ctaphid::kCbor, {0x00});
        const std::uint64_t start = clock.now;
        Bytes response;
        EXPECT_EQ(Exchange({command}, response), -1);
        EXPECT_TRUE(device.Hid().DeadlinePassed());
        EXPECT_NEAR(static_cast<double>(clock.now - start),
                    static_cast<double>(ExchangeDeadlineMs(Bytes{command})), 200.0);
        EXPECT_EQ(Bytes(key->written.back().begin(), key->written.back().begin() + 6),
                  Concat({{0x00}, kChannel, {ctaphid::kCancel}}));
        EXPECT_EQ(debug.lines.back(), "ReadFile L:585 ERR: 0xFFFFFFFE");
        key->reads.clear();
    }
    EXPECT_EQ(ExchangeDeadlineMs(Bytes{0x04}), kExchangeDeadlineMs);
    EXPECT_EQ(ExchangeDeadlineMs(Bytes{0x40}), kPersonWaitDeadlineMs);
}

TEST_F(ExchangeTest, ErrorPacketBecomesAOneByteResponse) {
    AttachWithChannel();
    key->QueuePacket(InitPacket(kChannel, 0xBF, 1, {0x0B}));
    Bytes response;
    ASSERT_EQ(Exchange({0x04}, response), 0);
    EXPECT_EQ(responseLength, 1U);
    EXPECT_EQ(response[0], 0x0B);
}

TEST_F(ExchangeTest, AllocatesTheChannelOnceAndAgainAfterSelectDevice) {
    AttachWithChannel();
    key->QueueMessage(kChannel, ctaphid::kCbor, {0x00});
    key->QueueMessage(kChannel, ctaphid::kCbor, {0x00});
    Bytes response;
    ASSERT_EQ(Exchange({0x04}, response), 0);
    ASSERT_EQ(Exchange({0x04}, response), 0);

    ASSERT_EQ(key->written.size(), 3U);
    EXPECT_EQ(Bytes(key->written[0].begin(), key->written[0].begin() + 8),
              Hex("00 FFFFFFFF 86 0008"));
    EXPECT_EQ(key->written[1][5], ctaphid::kCbor);
    EXPECT_EQ(key->written[2][5], ctaphid::kCbor);
    EXPECT_FALSE(device.Hid().NeedChannelInit());

    const Bytes secondChannel = {0xCA, 0xFE, 0x00, 0x02};
    ASSERT_EQ(device.SelectDevice(kMakerVendorId, kCtapModel), 1);
    key->QueueInitResponse(secondChannel);
    key->QueueMessage(secondChannel, ctaphid::kCbor, {0x00});
    ASSERT_EQ(Exchange({0x04}, response), 0);
    ASSERT_EQ(key->written.size(), 5U);
    EXPECT_EQ(key->written[3][5], ctaphid::kInit);
    // Each INIT has a nonce of its own, so that another program cannot foresee it.
    EXPECT_NE(Bytes(key->written[0].begin() + 8, key->written[0].begin() + 16),
              Bytes(key->written[3].begin() + 8, key->written[3].begin() + 16));
    EXPECT_EQ(Bytes(key->written[4].begin() + 1, key->written[4].begin() + 5), secondChannel);
}

// Every program holding the key open sees every answer: the others' are passed over.
TEST_F(ExchangeTest, PassesOverOtherProgramsPackets) {
    Attach();
    const Bytes other = {0x0A, 0x0B, 0x0C, 0x0D};
    key->QueueInitResponse(other, 0x5A);
    key->QueueInitResponse(kChannel);
    key->QueueMessage(other, ctaphid::kCbor, {0x31});
    const Bytes message = Counting(100, 3);
    key->QueueMessage(kChannel, ctaphid::kCbor, message);
    const auto continuation = key->reads.back();
    key->reads.pop_back();
    key->QueuePacket(ContinuationPacket(other, 0, Counting(59)));
    key->reads.push_back(continuation);
    Bytes response;
    ASSERT_EQ(Exchange({0x04}, response), 0);
    EXPECT_EQ(Bytes(response.begin(), response.begin() + responseLength), message);
    EXPECT_EQ(Bytes(key->written[1].begin() + 1, key->written[1].begin() + 5), kChannel);

    key->QueueMessage(kChannel, 0x81, {0x00});
    EXPECT_EQ(Exchange({0x04}, response), -1) << "on our channel, not an answer to CBOR";
}

struct InitFailureCase {
    const char* name;
    void (*answer)(ReplayDevice& key);
};

class InitFailureTest : public ExchangeTest,
                        public ::testing::WithParamInterface<InitFailureCase> {};

TEST_P(InitFailureTest, FailsAndAllocatesAgainNextTime) {
    Attach();
    GetParam().answer(*key);
    Bytes response;
    EXPECT_EQ(Exchange({0x04}, response), -1);
    EXPECT_TRUE(device.Hid().NeedChannelInit());
    EXPECT_THAT(device.Hid().ChannelId(), ElementsAre(0, 0, 0, 1));
    EXPECT_EQ(key->written.size(), 1U) << "no request without a channel";

    key->reads.clear();
    key->QueueInitResponse(kChannel);
    key->QueueMessage(kChannel, ctaphid::kCbor, {0x00});
    ASSERT_EQ(Exchange({0x04}, response), 0);
    EXPECT_EQ(key->written[1][5], ctaphid::kInit);
    EXPECT_EQ(Bytes(key->written[2].begin() + 1, key->written[2].begin() + 5), kChannel);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, InitFailureTest,
    ::testing::Values(
        InitFailureCase{"ReadFails", [](ReplayDevice& key) { key.QueueReadFailure(); }},
        InitFailureCase{"OnlyAnotherNonce",
                        [](ReplayDevice& key) { key.QueueInitResponse(kChannel, 0x5A); }},
        InitFailureCase{"ShorterThan17",
                        [](ReplayDevice& key) { key.QueueInitResponse(kChannel, kHostNonce, 16); }},
        InitFailureCase{"ChannelZero",
                        [](ReplayDevice& key) {
                            key.QueueInitResponse({0, 0, 0, 0});
                        }}),
    [](const auto& info) { return std::string(info.param.name); });

struct FailureCase {
    const char* name;
    int failWriteAt;
    int shortWriteAt;
    int failReadAt;  // index among the reads after the INIT answer
    bool succeeds;
    const char* debugLine;
};

class ExchangeFailureTest : public ExchangeTest,
                            public ::testing::WithParamInterface<FailureCase> {};

TEST_P(ExchangeFailureTest, FailsWithItsDebugLineAndLeavesTheLength) {
    const FailureCase c = GetParam();
    AttachWithChannel();
    key->failWriteAt = c.failWriteAt;
    key->shortWriteAt = c.shortWriteAt;
    // A two-packet request and a two-packet response.
    const Bytes response2 = Counting(100);
    if (c.failReadAt == 0) {
        key->QueueReadFailure(0x3E3);
    } else {
        key->QueueMessage(kChannel, ctaphid::kCbor, response2);
        if (c.failReadAt == 1) {
            key->reads.pop_back();
            key->QueueReadFailure(0x3E3);
        }
    }
    Bytes response;
    EXPECT_EQ(Exchange(Counting(60), response, 200), c.succeeds ? 0 : -1);
    if (!c.succeeds) {
        EXPECT_EQ(responseLength, 200U) << "length untouched on failure";
    }
    if (c.debugLine == nullptr) {
        EXPECT_THAT(debug.lines, IsEmpty());
    } else {
        EXPECT_THAT(debug.lines, ElementsAre(c.debugLine));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Points, ExchangeFailureTest,
    ::testing::Values(
        FailureCase{"InitWrite", 0, -1, -1, false, "WriteFile L:480 ERR: 0x0000001F"},
        FailureCase{"RequestWrite", 2, -1, -1, false, "WriteFile L:558 ERR: 0x0000001F"},
        FailureCase{"ShortWrite", -1, 1, -1, false, nullptr},
        FailureCase{"FirstRead", -1, -1, 0, false, "ReadFile L:585 ERR: 0x000003E3"},
        FailureCase{"ContinuationRead", -1, -1, 1, false, "ReadFile L:646 ERR: 0x000003E3"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ExchangeTest, ResponseLongerThanCapacityFailsWithoutWritingPastIt) {
    AttachWithChannel();
    key->QueuePacket(InitPacket(kChannel, ctaphid::kCbor, 0xFFFF, Counting(57)));
    Bytes response;
    EXPECT_EQ(Exchange({0x04}, response, 100), -1);
    EXPECT_EQ(responseLength, 100U);
    EXPECT_TRUE(std::all_of(response.begin(), response.end(), [](auto b) { return b == 0xEE; }));

    key->QueueMessage(kChannel, ctaphid::kCbor, Counting(101));
    EXPECT_EQ(Exchange({0x04}, response, 100), -1);
    key->reads.clear();
    key->QueueMessage(kChannel, ctaphid::kCbor, Counting(100));
    EXPECT_EQ(Exchange({0x04}, response, 100), 0) << "exactly the capacity fits";
}

TEST_F(ExchangeTest, RefusesWithoutTouchingTheKey) {
    Bytes response(10);
    std::uint32_t length = 10;
    const Bytes request = {0x04};
    // No device selected.
    EXPECT_EQ(device.Hid().ExchangeReports(request.data(), 1, response.data(), &length), -1);

    AttachWithChannel();
    // Empty, negative and oversized requests; missing buffers.
    const Bytes huge(7610, 0);
    EXPECT_EQ(device.Hid().ExchangeReports(request.data(), 0, response.data(), &length), -1);
    EXPECT_EQ(device.Hid().ExchangeReports(request.data(), -5, response.data(), &length), -1);
    EXPECT_EQ(device.Hid().ExchangeReports(huge.data(), 7610, response.data(), &length), -1);
    EXPECT_EQ(device.Hid().ExchangeReports(nullptr, 1, response.data(), &length), -1);
    EXPECT_EQ(device.Hid().ExchangeReports(request.data(), 1, nullptr, &length), -1);
    EXPECT_EQ(device.Hid().ExchangeReports(request.data(), 1, response.data(), nullptr), -1);
    // Capabilities gone, or report lengths the packet layout cannot use.
    key->capsAvailable = false;
    EXPECT_EQ(device.Hid().ExchangeReports(request.data(), 1, response.data(), &length), -1);
    key->capsAvailable = true;
    key->lengths = {64, 65};
    EXPECT_EQ(device.Hid().ExchangeReports(request.data(), 1, response.data(), &length), -1);
    key->lengths = {65, 4096};
    EXPECT_EQ(device.Hid().ExchangeReports(request.data(), 1, response.data(), &length), -1);
    EXPECT_THAT(key->written, IsEmpty());
    EXPECT_EQ(length, 10U);
}

TEST_F(ExchangeTest, FlushesPendingInputBeforeEachExchange) {
    AttachWithChannel();
    key->QueueMessage(kChannel, ctaphid::kCbor, {0x00});
    Bytes response;
    ASSERT_EQ(Exchange({0x04}, response), 0);
    EXPECT_EQ(key->flushes, 1);
}

TEST_F(ExchangeTest, ReplaysAnnotatedGetInfoTrace) {
    Trace trace = LoadTrace(KELVORA_TEST_DATA_DIR "/transport/getinfo.trace");
    Attach();
    for (const Bytes& packet : trace.keyPackets) {
        key->QueuePacket(packet);
    }
    Bytes response;
    ASSERT_EQ(Exchange({0x04}, response), 0);
    // The trace's nonce stands for the host's random one.
    ASSERT_FALSE(key->written.empty());
    std::copy_n(key->written[0].begin() + 8, 8, trace.hostWrites[0].begin() + 8);
    EXPECT_EQ(key->written, trace.hostWrites);
    EXPECT_EQ(responseLength, 68U);
    EXPECT_EQ(response[0], 0x00) << "status";
    EXPECT_EQ(response[1], 0xA4) << "a map of four members";
    EXPECT_THAT(Bytes(response.begin() + 57, response.begin() + 68),
                ElementsAre(0x69, 0x65, 0x6E, 0x74, 0x50, 0x69, 0x6E, 0xF5, 0x06, 0x81, 0x01))
        << "the continuation packet's bytes";
    EXPECT_EQ(device.Hid().ChannelId()[1], 0xCD);
}

}  // namespace
}  // namespace kelvora::test
