// The session's two exchanges: status handling, the single repeat, buffer limits, and the
// firmware version query.
#include <gmock/gmock.h>

#include <algorithm>

#include "session_fixture.h"

namespace kelvora::test {
namespace {

using ::testing::IsEmpty;

class FidoDeviceTest : public SessionTest {
  protected:
    std::uint8_t SendCbor(const Bytes& request, Bytes& response, std::uint32_t& length) {
        return device.SendCborCommand(request.data(), static_cast<std::int32_t>(request.size()),
                                      response.empty() ? nullptr : response.data(), &length);
    }
    std::uint16_t Apdu(const Bytes& apdu, std::uint8_t* response, std::uint32_t* length) {
        return device.TransmitApdu(apdu.data(), static_cast<std::int32_t>(apdu.size()), response,
                                   length);
    }
};

TEST_F(FidoDeviceTest, StatusByteAloneLeavesTheCallersBufferAndLength) {
    AttachWithChannel();
    key->QueueMessage(kChannel, ctaphid::kCbor, {0x00});
    Bytes response(10, 0xEE);
    std::uint32_t length = 10;
    EXPECT_EQ(SendCbor({0x06, 0xA1}, response, length), 0x00);
    EXPECT_EQ(length, 10U);
    EXPECT_EQ(response, Bytes(10, 0xEE));
}

struct CapacityCase {
    std::size_t dataBytes;
    std::uint32_t capacity;
    std::uint8_t status;
};

class CborCapacityTest : public FidoDeviceTest,
                         public ::testing::WithParamInterface<CapacityCase> {};

TEST_P(CborCapacityTest, CopiesWhatFitsAndRefusesWhatDoesNot) {
    const CapacityCase c = GetParam();
    AttachWithChannel();
    Bytes message(c.dataBytes + 1, 0x5A);
    message[0] = 0x31;  // a key error with data still gets its data copied
    key->QueueMessage(kChannel, ctaphid::kCbor, message);
    Bytes response(c.capacity + 8, 0xEE);
    std::uint32_t length = c.capacity;
    EXPECT_EQ(SendCbor({0x04}, response, length), c.status);
    if (c.status == 0x31) {
        EXPECT_EQ(length, c.dataBytes);
        EXPECT_EQ(response[c.dataBytes - 1], 0x5A);
    } else {
        EXPECT_EQ(length, c.capacity);
        EXPECT_EQ(response[0], 0xEE) << "nothing copied";
    }
    EXPECT_EQ(response[c.capacity], 0xEE) << "never past the capacity";
}

INSTANTIATE_TEST_SUITE_P(Limits, CborCapacityTest,
                         ::testing::Values(CapacityCase{10, 10, 0x31}, CapacityCase{11, 10, 0x03},
                                           CapacityCase{1, 0, 0x03},
                                           CapacityCase{4095, 4095, 0x31}),
                         [](const auto& info) {
                             return "Data" + std::to_string(info.param.dataBytes) + "Capacity" +
                                    std::to_string(info.param.capacity);
                         });

TEST_F(FidoDeviceTest, MissingResponseBufferIsStatusThree) {
    AttachWithChannel();
    key->QueueMessage(kChannel, ctaphid::kCbor, {0x00, 0xA0});
    std::uint32_t length = 100;
    const Bytes request = {0x04};
    EXPECT_EQ(device.SendCborCommand(request.data(), 1, nullptr, &length), 0x03);
    key->QueueMessage(kChannel, ctaphid::kCbor, {0x00, 0xA0});
    Bytes response(4);
    EXPECT_EQ(device.SendCborCommand(request.data(), 1, response.data(), nullptr), 0x03);
}

TEST_F(FidoDeviceTest, RepeatsAFailedExchangeOnceOnTheSameChannel) {
    AttachWithChannel();
    key->QueueReadFailure();
    key->QueueMessage(kChannel, ctaphid::kCbor, {0x00, 0xA0});
    Bytes response(8);
    std::uint32_t length = 8;
    EXPECT_EQ(SendCbor({0x04}, response, length), 0x00);
    EXPECT_EQ(length, 1U);
    const std::vector<Bytes> writes = MessageWrites();
    ASSERT_EQ(key->written.size(), 3U) << "one INIT, then the request twice";
    ASSERT_EQ(writes.size(), 2U);
    EXPECT_EQ(writes[0], writes[1]);
}

// A repeat may make the key act twice: only a request that never reached it whole, or one
// that changes nothing on it, is sent again.
enum class Lost { kAnswer, kRequestWrite, kInitAnswer };

struct RepeatCase {
    const char* name;
    Bytes request;  // an APDU when it starts with 0x80
    Lost lost;
    long requestWrites;
};

class RepeatTest : public FidoDeviceTest, public ::testing::WithParamInterface<RepeatCase> {};

TEST_P(RepeatTest, RepeatsOnlyWhatCannotActTwice) {
    const RepeatCase& c = GetParam();
    Attach();
    if (c.lost == Lost::kInitAnswer) {
        key->QueueReadFailure();
    }
    key->QueueInitResponse(kChannel);
    if (c.lost == Lost::kAnswer) {
        key->QueueReadFailure();
    }
    key->failWriteAt = c.lost == Lost::kRequestWrite ? 1 : -1;
    key->QueueMessage(kChannel, ctaphid::kCbor, {0x90, 0x00});
    const bool answered = c.requestWrites == 2 || c.lost == Lost::kInitAnswer;
    Bytes response(8);
    std::uint32_t length = 8;
    const bool apdu = c.request[0] == 0x80;
    const int status =
        apdu ? int{Apdu(c.request, nullptr, nullptr)} : int{SendCbor(c.request, response, length)};
    const int failure = apdu ? int{kSwTransportFailure} : int{kCtapTransportFailure};
    EXPECT_EQ(status, answered ? (apdu ? 0x9000 : 0x90) : failure);
    EXPECT_EQ(std::count_if(key->written.begin(), key->written.end(),
                            [](const Bytes& report) { return report[5] == ctaphid::kCbor; }),
              c.requestWrites);
}

INSTANTIATE_TEST_SUITE_P(
    Requests, RepeatTest,
    ::testing::Values(RepeatCase{"KeyAgreement", Hex("06 A2 01 01 02 02"), Lost::kAnswer, 2},
                      RepeatCase{"FirmwareQuery", Hex("80 E3 00 00 03"), Lost::kAnswer, 2},
                      RepeatCase{"ChangePin", Hex("06 A2 01 01 02 04"), Lost::kAnswer, 1},
                      RepeatCase{"LegacyReset", Hex("80 E3 03 00 00"), Lost::kAnswer, 1},
                      RepeatCase{"ResetNeverWritten", {0x07}, Lost::kRequestWrite, 2},
                      RepeatCase{"ChangePinAfterLostInit", Hex("06 A2 01 01 02 04"),
                                 Lost::kInitAnswer, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FidoDeviceTest, BothAttemptsFailingIsATransportFailure) {
    AttachWithChannel();
    key->QueueReadFailure();
    key->QueueReadFailure();
    Bytes response(8, 0xEE);
    std::uint32_t length = 8;
    EXPECT_EQ(SendCbor({0x04}, response, length), kCtapTransportFailure);
    EXPECT_EQ(length, 8U);
    EXPECT_EQ(key->written.size(), 3U) << "no third attempt";
    EXPECT_EQ(Apdu({0x80, 0xE3, 0x00, 0x00, 0x03}, response.data(), &length), kSwTransportFailure);
}

TEST_F(FidoDeviceTest, NothingIsSentUnlessTheTransportIsHid) {
    AttachWithChannel();
    ASSERT_EQ(device.SetTransportKind(2), 1);
    Bytes response(8);
    std::uint32_t length = 8;
    EXPECT_EQ(SendCbor({0x04}, response, length), kCtapTransportFailure);
    EXPECT_EQ(Apdu({0x80, 0xE3, 0x00, 0x00, 0x03}, response.data(), &length), kSwTransportFailure);
    EXPECT_EQ(device.EnumerateDevices(), 0U);
    EXPECT_EQ(device.SelectDevice(kMakerVendorId, kCtapModel), 0);
    char description[200] = {};
    EXPECT_EQ(device.GetDeviceDescription(description, sizeof description), 0);
    EXPECT_THAT(key->written, IsEmpty());
}

TEST_F(FidoDeviceTest, SetTransportKindAcceptsOnlyHidAndTheOtherKind) {
    for (const std::uint32_t kind : {0U, 3U, 0xFFFFFFFFU}) {
        EXPECT_EQ(device.SetTransportKind(kind), 0) << kind;
        EXPECT_EQ(device.GetTransportKind(), TransportKind::kNone);
    }
    EXPECT_EQ(device.SetTransportKind(1), 1);
    EXPECT_EQ(device.GetTransportKind(), TransportKind::kHid);
}

struct ApduCase {
    const char* name;
    Bytes message;  // what the key answers
    bool nullResponse;
    bool nullLength;
    std::uint32_t capacity;
    std::uint16_t status;
    std::uint32_t lengthAfter;
};

class ApduResponseTest : public FidoDeviceTest, public ::testing::WithParamInterface<ApduCase> {};

TEST_P(ApduResponseTest, SplitsDataAndStatusWord) {
    const ApduCase& c = GetParam();
    AttachWithChannel(kLegacyModel);
    key->QueueMessage(kChannel, ctaphid::kCbor, c.message);
    Bytes response(16, 0xEE);
    std::uint32_t length = c.capacity;
    EXPECT_EQ(Apdu({0x80, 0xE3, 0x02, 0x00, 0x00}, c.nullResponse ? nullptr : response.data(),
                   c.nullLength ? nullptr : &length),
              c.status);
    EXPECT_EQ(length, c.lengthAfter);
    if (c.status == 0x9000 && !c.nullResponse && !c.nullLength) {
        EXPECT_EQ(Bytes(response.begin(), response.begin() + length),
                  Bytes(c.message.begin(), c.message.end() - 2));
    } else {
        EXPECT_EQ(response[0], 0xEE) << "nothing copied";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ApduResponseTest,
    ::testing::Values(
        ApduCase{"StatusWordOnly", {0x90, 0x00}, false, false, 16, 0x9000, 0},
        ApduCase{"DataAndStatus", {0x01, 0x00, 0x90, 0x00}, false, false, 2, 0x9000, 2},
        ApduCase{"KeyError", {0x6A, 0x80}, false, false, 16, 0x6A80, 0},
        ApduCase{"DataTooLarge", {1, 2, 3, 0x90, 0x00}, false, false, 2, 0xFFFB, 3},
        ApduCase{"NullLength", {1, 2, 0x90, 0x00}, false, true, 16, 0x9000, 16},
        ApduCase{"NullResponse", {1, 2, 0x90, 0x00}, true, false, 16, 0x9000, 2},
        // One byte (an error packet, say) has no status word: a failure, never 0x??00.
        ApduCase{"OneByte", {0x90}, false, false, 16, 0xFFFB, 16}),
    [](const auto& info) { return std::string(info.param.name); });

struct FirmwareCase {
    Bytes answer;
    bool aes;
    bool vendorCommands;
};

class FirmwareVersionTest : public FidoDeviceTest,
                            public ::testing::WithParamInterface<FirmwareCase> {};

TEST_P(FirmwareVersionTest, SetsTheFlagsFromTheVersionByte) {
    const FirmwareCase& c = GetParam();
    AttachWithChannel();
    key->QueueMessage(kChannel, ctaphid::kCbor, c.answer);
    device.QueryFirmwareVersion();
    EXPECT_EQ(device.SecureMessagingAes(), c.aes);
    EXPECT_EQ(keyState.vendorCommandSet.load(), c.vendorCommands);
    const std::vector<Bytes> writes = MessageWrites();
    ASSERT_EQ(writes.size(), 1U);
    EXPECT_EQ(Bytes(writes[0].begin() + 8, writes[0].begin() + 13), Hex("80 E3 00 00 03"));
}

INSTANTIATE_TEST_SUITE_P(Versions, FirmwareVersionTest,
                         ::testing::Values(FirmwareCase{{16, 0, 0, 0x90, 0x00}, false, false},
                                           FirmwareCase{{17, 0, 0, 0x90, 0x00}, true, false},
                                           FirmwareCase{{18, 0, 0, 0x90, 0x00}, true, true},
                                           FirmwareCase{{0xFF, 0x90, 0x00}, true, true},
                                           FirmwareCase{{20, 0, 0, 0x6D, 0x00}, false, false},
                                           // success without data carries no version
                                           FirmwareCase{{0x90, 0x00}, false, false}),
                         [](const auto& info) { return "Case" + std::to_string(info.index); });

TEST_F(FidoDeviceTest, VendorCommandSetOutlivesAnOlderKey) {
    AttachWithChannel();
    key->QueueMessage(kChannel, ctaphid::kCbor, {18, 0x90, 0x00});
    device.QueryFirmwareVersion();
    key->QueueMessage(kChannel, ctaphid::kCbor, {10, 0x90, 0x00});
    device.SetSecureMessagingAes(false);
    device.QueryFirmwareVersion();
    EXPECT_TRUE(keyState.vendorCommandSet);
    EXPECT_FALSE(device.SecureMessagingAes());
}

}  // namespace
}  // namespace kelvora::test
