// The in-process backend as the HID seam's contract asks: listing, report framing, removal
// and re-plugging, device-change events.
#include <gtest/gtest.h>

#include <array>
#include <memory>

#include "transport/device_ids.h"
#include "transport/hid_device_info.h"
#include "vkey/virtual_hid_backend.h"

namespace kelvora::vkey {
namespace {

constexpr std::size_t kReportSize = 65;
using Report = std::array<std::uint8_t, kReportSize>;

// CTAPHID_INIT on the broadcast channel with an eight-byte nonce.
Report InitReport(std::uint8_t nonceByte) {
    constexpr std::uint8_t kInitCommand = 0x86;
    constexpr std::uint8_t kNonceLength = 8;
    Report report{};
    report[1] = report[2] = report[3] = report[4] = 0xFF;
    report[5] = kInitCommand;
    report[7] = kNonceLength;
    for (std::size_t i = 0; i < kNonceLength; ++i) {
        report[8 + i] = nonceByte;
    }
    return report;
}

Config LegacyDes() {
    Config config;
    config.model = 1;
    config.firmware = 16;
    return config;
}

VirtualInterfaceOptions Named(std::string name) {
    VirtualInterfaceOptions options;
    options.productName = std::move(name);
    return options;
}

VirtualInterfaceOptions Unopenable() {
    VirtualInterfaceOptions options;
    options.unopenable = true;
    return options;
}

struct Fixture {
    ManualClock clock;
    VirtualKey first{Config{}, clock};
    VirtualKey second{LegacyDes(), clock};
    VirtualHidBackend backend;
};

TEST(VirtualHidBackend, ListsPluggedKeysAsTheMakersInterfaces) {
    Fixture f;
    const std::string firstPath = f.backend.AddKey(f.first);
    const std::string secondPath = f.backend.AddKey(f.second, Named("Custom"));
    EXPECT_TRUE(f.backend.Enumerate().empty());

    f.second.Plug();
    f.first.Plug();
    const std::vector<HidInterfaceInfo> listed = f.backend.Enumerate();
    ASSERT_EQ(listed.size(), 2U);
    EXPECT_EQ(listed[0].path, firstPath) << "listed in the order the keys were added";
    EXPECT_EQ(listed[1].path, secondPath);
    EXPECT_NE(firstPath, secondPath);
    for (const HidInterfaceInfo& info : listed) {
        EXPECT_EQ(info.vendorId, kMakerVendorId);
        EXPECT_TRUE(PathNamesVendor(info.path, kMakerVendorId));
        EXPECT_NE(info.path.find(InterfaceIdentity(kMakerVendorId, info.productId)),
                  std::string::npos);
        EXPECT_EQ(info.reportLengths.input, kReportSize);
        EXPECT_EQ(info.reportLengths.output, kReportSize);
        EXPECT_FALSE(info.productName.empty());
    }
    EXPECT_EQ(listed[0].productId, kSupportedProducts[2]);
    EXPECT_EQ(listed[1].productId, kSupportedProducts[0]);
    EXPECT_EQ(listed[1].productName, "Custom");

    f.first.Unplug();
    ASSERT_EQ(f.backend.Enumerate().size(), 1U);
    EXPECT_EQ(f.backend.Enumerate()[0].path, secondPath);
}

TEST(VirtualHidBackend, CarriesReportsWithTheReportIdAndRefusesOtherSizes) {
    Fixture f;
    f.backend.AddKey(f.first);
    f.first.Plug();
    HidOpenResult opened = f.backend.Open(f.backend.Enumerate().at(0));
    ASSERT_EQ(opened.error, HidOpenError::kNone);
    HidConnection& connection = *opened.connection;

    const Report init = InitReport(0x5A);
    EXPECT_FALSE(connection.Write(std::span(init).first(kReportSize - 1)).ok);
    Report wrongId = init;
    wrongId[0] = 0x01;
    EXPECT_FALSE(connection.Write(wrongId).ok);

    const HidIoResult written = connection.Write(init);
    EXPECT_TRUE(written.ok);
    EXPECT_EQ(written.bytes, kReportSize);
    Report response{};
    response.fill(0xEE);
    const HidIoResult read = connection.Read(response);
    ASSERT_TRUE(read.ok);
    EXPECT_EQ(read.bytes, kReportSize);
    EXPECT_EQ(response[0], 0x00);
    EXPECT_EQ(response[5], init[5]) << "the packet starts after the report id";
    EXPECT_EQ(response[8], 0x5A) << "the nonce is echoed";

    // Flushing drops what the key queued; nothing is left to read.
    ASSERT_TRUE(connection.Write(InitReport(0x11)).ok);
    connection.FlushInput();
    EXPECT_FALSE(f.first.TryReadPacket().has_value());
}

TEST(VirtualHidBackend, ConnectionOfAnEarlierPlugInFailsAfterReplug) {
    Fixture f;
    f.backend.AddKey(f.first);
    f.first.Plug();
    HidOpenResult old = f.backend.Open(f.backend.Enumerate().at(0));
    ASSERT_TRUE(old.connection);
    HidReportLengths lengths;
    EXPECT_TRUE(old.connection->ReportLengths(lengths));

    f.first.Unplug();
    f.first.Plug();
    HidOpenResult fresh = f.backend.Open(f.backend.Enumerate().at(0));
    ASSERT_TRUE(fresh.connection);
    ASSERT_TRUE(fresh.connection->Write(InitReport(0x22)).ok);

    Report report{};
    EXPECT_FALSE(old.connection->ReportLengths(lengths));
    EXPECT_FALSE(old.connection->Write(InitReport(0x33)).ok);
    EXPECT_FALSE(old.connection->Read(report).ok) << "must fail, not take the new packets";
    ASSERT_TRUE(fresh.connection->Read(report).ok);
    EXPECT_EQ(report[8], 0x22);

    fresh.connection->Close();
    EXPECT_FALSE(fresh.connection->Write(InitReport(0x44)).ok);
    EXPECT_FALSE(fresh.connection->Read(report).ok);
}

TEST(VirtualHidBackend, OpenRefusals) {
    Fixture f;
    f.backend.AddKey(f.first, Unopenable());
    f.first.Plug();
    const HidInterfaceInfo listed = f.backend.Enumerate().at(0);
    EXPECT_EQ(f.backend.Open(listed).error, HidOpenError::kAccessDenied);

    HidInterfaceInfo unknown = listed;
    unknown.path = "virtual/elsewhere";
    EXPECT_EQ(f.backend.Open(unknown).error, HidOpenError::kUnavailable);

    f.backend.AddKey(f.second);
    HidInterfaceInfo unplugged = listed;
    unplugged.path = "virtual/key1#" + InterfaceIdentity(kMakerVendorId, kSupportedProducts[0]);
    EXPECT_EQ(f.backend.Open(unplugged).error, HidOpenError::kUnavailable);
    EXPECT_FALSE(f.backend.Open(unplugged).connection);
}

TEST(VirtualHidBackend, ReportsArrivalsAndRemovalsUntilItIsGone) {
    ManualClock clock;
    VirtualKey key(Config{}, clock);
    std::vector<std::pair<std::string, DeviceChange>> events;
    std::string path;
    {
        VirtualHidBackend backend;
        path = backend.AddKey(key);
        backend.SetDeviceChangeObserver(
            [&](const std::string& p, DeviceChange change) { events.emplace_back(p, change); });
        key.Plug();
        key.Plug();  // already in: no second event
        key.Unplug();
    }
    ASSERT_EQ(events.size(), 2U);
    EXPECT_EQ(events[0], std::make_pair(path, DeviceChange::kArrived));
    EXPECT_EQ(events[1], std::make_pair(path, DeviceChange::kRemoved));
    // The backend is destroyed: the key must not call into it any more.
    key.Plug();
    key.Unplug();
    EXPECT_EQ(events.size(), 2U);
}

}  // namespace
}  // namespace kelvora::vkey
