// Discovery and connecting: which interfaces are listed, selection order, descriptions,
// access denied, the settle delay and the firmware query.
#include <gmock/gmock.h>

#include <cstring>

#include "session_fixture.h"
#include "transport/connect.h"
#include "transport/hid_device_info.h"

namespace kelvora::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class DiscoveryTest : public SessionTest {
  protected:
    void SetUp() override { device.SetTransportKind(1); }

    ReplayBackend::Interface& AddInterface(const std::string& path, std::uint16_t vendorId,
                                           std::uint16_t productId) {
        HidInterfaceInfo info;
        info.path = path;
        info.vendorId = vendorId;
        info.productId = productId;
        info.productName = "Key";
        info.reportLengths = {65, 65};
        return backend.Add(info);
    }
    std::string Description() {
        char text[200];
        std::memset(text, 'x', sizeof text);
        EXPECT_EQ(device.GetDeviceDescription(text, sizeof text), 1);
        return text;
    }
};

TEST_F(DiscoveryTest, NothingOfTheMaker) {
    AddInterface("/dev/hidraw0#vid_046d&pid_C52B", 0x046D, 0xC52B);
    EXPECT_EQ(device.EnumerateDevices(), 0U);
    for (const std::uint16_t product : kSupportedProducts) {
        EXPECT_EQ(device.SelectDevice(kMakerVendorId, product), 0);
    }
    EXPECT_FALSE(keyState.deviceAccessDenied);
    const ConnectResult result = ConnectDevice(device, clock);
    EXPECT_FALSE(result.connected);
    EXPECT_EQ(keyState.selectedProductId, 0);
}

TEST_F(DiscoveryTest, FiltersInterfacesLikeTheSystemTool) {
    const std::string id = InterfaceIdentity(kMakerVendorId, kCtapModel);
    // Vendor digits in the path but another vendor in the attributes.
    auto& impostor = AddInterface("/dev/hidraw0#" + id, 0x1234, kCtapModel);
    // Upper-case vendor digits do not count.
    auto& upper = AddInterface("/dev/hidraw1#vid_4B56&pid_2B03", kMakerVendorId, kCtapModel);
    // Capabilities unknown.
    auto& noCaps = AddInterface("/dev/hidraw2#" + id, kMakerVendorId, kCtapModel);
    noCaps.info.reportLengths = {};
    // Vanished between listing and opening: skipped, but not a rights problem.
    auto& gone = AddInterface("/dev/hidraw3#" + id, kMakerVendorId, kCtapModel);
    gone.openError = HidOpenError::kUnavailable;
    auto& good = AddInterface("/dev/hidraw4#" + id, kMakerVendorId, kCtapModel);

    EXPECT_EQ(device.EnumerateDevices(), 1U);
    ASSERT_EQ(device.Hid().Devices().size(), 1U);
    EXPECT_EQ(device.Hid().Devices()[0].path, good.info.path);
    EXPECT_FALSE(keyState.deviceAccessDenied);
    EXPECT_EQ(impostor.device->closes, 1) << "opened, then released";
    EXPECT_EQ(upper.device->opens, 0);
}

TEST_F(DiscoveryTest, UnopenableKeySetsAccessDenied) {
    const std::string id = InterfaceIdentity(kMakerVendorId, kCtapModel);
    AddInterface("/dev/hidraw0#" + id, kMakerVendorId, kCtapModel).openError =
        HidOpenError::kAccessDenied;
    auto& listed = AddInterface("/dev/hidraw1#" + id, 0, 0);
    listed.info.accessDenied = true;  // a backend that found out while enumerating
    EXPECT_EQ(device.EnumerateDevices(), 0U);
    EXPECT_TRUE(keyState.deviceAccessDenied);
    EXPECT_FALSE(ConnectDevice(device, clock).connected);
}

TEST_F(DiscoveryTest, PrefersTheEarlierModelOfTheSupportedList) {
    backend.AddKey(kMakerVendorId, kSupportedProducts[4]);
    backend.AddKey(kMakerVendorId, kSupportedProducts[3]);
    auto second = backend.AddKey(kMakerVendorId, kSupportedProducts[3], "Second");
    auto chosen = backend.interfaces[1].device;
    chosen->QueueInitResponse(kChannel);
    chosen->QueueMessage(kChannel, ctaphid::kCbor, {17, 0x90, 0x00});

    const ConnectResult result = ConnectDevice(device, clock);
    ASSERT_TRUE(result.connected);
    EXPECT_EQ(result.productId, kSupportedProducts[3]);
    EXPECT_EQ(keyState.selectedProductId, kSupportedProducts[3]);
    EXPECT_EQ(result.connectedAtMs, clock.now);
    EXPECT_STREQ(result.description.data(), "HID NAME:Security Key|VID:0x4b56|PID:0x2b04\n");
    EXPECT_EQ(result.firmwareStatus, 0x9000);
    EXPECT_TRUE(device.SecureMessagingAes());
    EXPECT_THAT(second->written, IsEmpty()) << "first enumerated of the same model wins";
    EXPECT_THAT(clock.sleeps, IsEmpty());
}

TEST_F(DiscoveryTest, ConnectResetsSecureMessagingToDes) {
    auto key = backend.AddKey(kMakerVendorId, kLegacyModel);
    device.SetSecureMessagingAes(true);
    key->QueueInitResponse(kChannel);
    key->QueueMessage(kChannel, ctaphid::kCbor, {0x6D, 0x00});  // query not understood
    const ConnectResult result = ConnectDevice(device, clock);
    EXPECT_TRUE(result.connected);
    EXPECT_EQ(result.firmwareStatus, 0x6D00);
    EXPECT_FALSE(device.SecureMessagingAes());
}

TEST_F(DiscoveryTest, SettleDelayModelWaitsPerInterfaceAndSkipsTheFirmwareQuery) {
    auto first = backend.AddKey(kMakerVendorId, kSettleDelayProductId);
    backend.AddKey(kMakerVendorId, kSettleDelayProductId);
    auto& noCaps =
        AddInterface("/dev/hidraw9#" + InterfaceIdentity(kMakerVendorId, kSettleDelayProductId),
                     kMakerVendorId, kSettleDelayProductId);
    noCaps.info.reportLengths = {};
    const ConnectResult result = ConnectDevice(device, clock);
    ASSERT_TRUE(result.connected);
    EXPECT_THAT(clock.sleeps, ElementsAre(2000, 2000));
    EXPECT_EQ(result.firmwareStatus, 0);
    EXPECT_THAT(first->written, IsEmpty());
}

TEST_F(DiscoveryTest, UnlistedSelectionKeepsTheCurrentDevice) {
    auto key = Attach(kCtapModel);
    EXPECT_EQ(device.SelectDevice(kMakerVendorId, kLegacyModel), 0);
    EXPECT_EQ(device.Hid().CurrentDevice().productId, kCtapModel);
    EXPECT_TRUE(device.Hid().NeedChannelInit());
}

TEST_F(DiscoveryTest, CurrentDeviceSurvivesReEnumerationUntilCloseAll) {
    auto key = AttachWithChannel();
    backend.interfaces.clear();  // the key disappears from the next listing
    EXPECT_EQ(device.EnumerateDevices(), 0U);
    key->QueueMessage(kChannel, ctaphid::kCbor, {0x00});
    Bytes response(8);
    std::uint32_t length = 8;
    const Bytes request = {0x04};
    EXPECT_EQ(device.SendCborCommand(request.data(), 1, response.data(), &length), 0x00);
    EXPECT_EQ(key->closes, 0);

    device.CloseAllDevices();
    EXPECT_EQ(key->closes, 1);
    EXPECT_EQ(device.SendCborCommand(request.data(), 1, response.data(), &length),
              kCtapTransportFailure);
    device.CloseAllDevices();  // a second call finds nothing to do
    EXPECT_EQ(key->closes, 1);
}

struct DescriptionCase {
    const char* name;
    std::string productName;
    bool available;
    std::string expected;
};

class DescriptionTest : public DiscoveryTest,
                        public ::testing::WithParamInterface<DescriptionCase> {};

TEST_P(DescriptionTest, FitsOneHundredBytesOnCharacterBoundaries) {
    const DescriptionCase& c = GetParam();
    auto& entry = AddInterface("/dev/hidraw0#" + InterfaceIdentity(kMakerVendorId, kCtapModel),
                               kMakerVendorId, kCtapModel);
    entry.info.productName = c.productName;
    entry.info.productNameAvailable = c.available;
    ASSERT_EQ(device.EnumerateDevices(), 1U);
    ASSERT_EQ(device.SelectDevice(kMakerVendorId, kCtapModel), 1);
    const std::string description = Description();
    EXPECT_EQ(description, c.expected);
    EXPECT_LE(description.size() + 1, kDeviceDescriptionSize);
}

const std::string kFixedTail = "|VID:0x4b56|PID:0x2b03\n";
// 22 three-byte characters (66 bytes) then one more: the 23rd would end at byte 69.
const std::string kKana = [] {
    std::string s;
    for (int i = 0; i < 23; ++i) {
        s += "\xE3\x82\xAD";  // キ
    }
    return s;
}();

INSTANTIATE_TEST_SUITE_P(
    Names, DescriptionTest,
    ::testing::Values(
        DescriptionCase{"Plain", "Security Key", true, "HID NAME:Security Key" + kFixedTail},
        DescriptionCase{"Empty", "", true, "HID NAME:" + kFixedTail},
        DescriptionCase{"Unavailable", "", false, "HID NAME:Unknown Device" + kFixedTail},
        DescriptionCase{"Exactly67", std::string(67, 'a'), true,
                        "HID NAME:" + std::string(67, 'a') + kFixedTail},
        DescriptionCase{"TooLong", std::string(300, 'b'), true,
                        "HID NAME:" + std::string(67, 'b') + kFixedTail},
        DescriptionCase{"MultiByteCut", kKana, true,
                        "HID NAME:" + kKana.substr(0, 66) + kFixedTail}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DiscoveryTest, DescriptionIsCutToTheCallersBuffer) {
    Attach();
    char small[10];
    ASSERT_EQ(device.GetDeviceDescription(small, sizeof small), 1);
    EXPECT_STREQ(small, "HID NAME:");
    EXPECT_EQ(device.GetDeviceDescription(nullptr, 10), 0);
}

}  // namespace
}  // namespace kelvora::test
