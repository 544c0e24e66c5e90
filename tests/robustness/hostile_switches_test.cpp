// How hostility is chosen (the daemon's --hostile, by name) and what the in-process HID
// backend's timed read does, which the transport's silence bound stands on.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "transport/ctaphid.h"
#include "vkey/daemon_options.h"
#include "vkey/hostile.h"
#include "vkey/virtual_hid_backend.h"

namespace kelvora::test {
namespace {

TEST(HostileSwitchesTest, EveryModeIsReachableByNameAndUnknownNamesAreRefused) {
    for (vkey::Hostility hostility : vkey::AllHostilities()) {
        const std::string name(vkey::HostilityName(hostility));
        std::string error;
        const auto options =
            vkey::ParseDaemonOptions({"--socket", "/tmp/k.sock", "--hostile", name}, error);
        ASSERT_TRUE(options.has_value()) << name << ": " << error;
        EXPECT_EQ(options->config.hostility, hostility) << name;
    }
    std::string error;
    EXPECT_FALSE(vkey::ParseDaemonOptions({"--socket", "/tmp/k.sock", "--hostile", "rude"}, error));
    EXPECT_NE(error.find("--hostile"), std::string::npos);
}

TEST(HostileSwitchesTest, TimedReadOfTheVirtualBackendTimesOutThenReportsRemoval) {
    vkey::ManualClock clock;
    vkey::VirtualKey key(vkey::Config{}, clock);
    vkey::VirtualHidBackend backend;
    backend.AddKey(key);
    key.Plug();
    const std::vector<HidInterfaceInfo> interfaces = backend.Enumerate();
    ASSERT_EQ(interfaces.size(), 1u);
    HidOpenResult opened = backend.Open(interfaces[0]);
    ASSERT_TRUE(opened.connection);

    std::array<std::uint8_t, ctaphid::kReportLength> report{};
    const HidIoResult quiet = opened.connection->ReadWithin(report, 1);
    EXPECT_FALSE(quiet.ok);
    EXPECT_EQ(quiet.errorCode, kHidReadTimedOut);

    key.Unplug();
    const HidIoResult gone = opened.connection->ReadWithin(report, 1);
    EXPECT_FALSE(gone.ok);
    EXPECT_NE(gone.errorCode, kHidReadTimedOut);
}

}  // namespace
}  // namespace kelvora::test
