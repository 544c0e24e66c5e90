// The Linux hidraw backend and device notifications against a key behind a real kernel's
// xHCI, usbhid and hidraw drivers (the guest of scripts/linux-usb-rig.sh, as root there):
//   KELVORA_RIG_PRODUCTS  the product id of the rig's key ("2B03")
// Without it every case is skipped. The key is pulled and plugged in again through its USB
// device's "authorized" switch, which the kernel handles as a removal and an arrival of
// every interface on it.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/wait.h"
#include "platform/device_notifications.h"
#include "transport/device_ids.h"
#include "transport/hid_backend.h"

namespace kelvora::test {
namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;
constexpr std::size_t kReport = 65;
// What the window waits after a notification before it looks at the keys again.
constexpr auto kArrivalDelay = std::chrono::milliseconds(300);
constexpr auto kRemovalDelay = std::chrono::milliseconds(100);

std::uint16_t RigProduct() {
    const char* text = std::getenv("KELVORA_RIG_PRODUCTS");
    return text == nullptr ? 0 : static_cast<std::uint16_t>(std::stoul(text, nullptr, 16));
}

std::string ReadLine(const fs::path& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

// The hidraw node's USB device: hidrawN -> the HID device -> its interface -> the device.
fs::path UsbDeviceOf(const std::string& node) {
    const std::string name = fs::path(node.substr(0, node.rfind('#'))).filename();
    return fs::canonical("/sys/class/hidraw/" + name + "/device").parent_path().parent_path();
}

bool FindKey(HidBackend& backend, HidInterfaceInfo& key) {
    for (const HidInterfaceInfo& info : backend.Enumerate()) {
        if (info.vendorId == kMakerVendorId && info.productId == RigProduct()) {
            key = info;
            return true;
        }
    }
    return false;
}

// A CTAPHID INIT on the broadcast channel, answered with the same nonce.
bool AnswersInit(HidConnection& key, std::uint8_t tag) {
    std::vector<std::uint8_t> init(kReport, 0);
    const std::uint8_t head[] = {0, 0xFF, 0xFF, 0xFF, 0xFF, 0x86, 0, 8, tag, 1, 2, 3, 4, 5, 6, 7};
    std::copy(std::begin(head), std::end(head), init.begin());
    if (!key.Write(init).ok) {
        return false;
    }
    std::vector<std::uint8_t> answer(kReport);
    const HidIoResult read = key.ReadWithin(answer, 2000);
    return read.ok && read.bytes == kReport && answer[0] == 0 && answer[5] == 0x86 &&
           std::equal(init.begin() + 8, init.begin() + 16, answer.begin() + 8);
}

bool Authorize(const fs::path& usbDevice, bool on) {
    std::ofstream out(usbDevice / "authorized");
    out << (on ? "1" : "0");
    out.close();
    return static_cast<bool>(out);
}

class LinuxRigTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (RigProduct() == 0) {
            GTEST_SKIP() << "no Linux rig (KELVORA_RIG_PRODUCTS unset)";
        }
        backend_ = MakeSystemHidBackend();
        ASSERT_TRUE(FindKey(*backend_, key_)) << "the rig's key is not listed";
    }
    std::unique_ptr<HidBackend> backend_;
    HidInterfaceInfo key_;
};

TEST_F(LinuxRigTest, DiscoveryGivesTheUsbDevicesIdsNameAndReportLengths) {
    const fs::path usb = UsbDeviceOf(key_.path);
    EXPECT_EQ(std::stoul(ReadLine(usb / "idVendor"), nullptr, 16), key_.vendorId);
    EXPECT_EQ(std::stoul(ReadLine(usb / "idProduct"), nullptr, 16), key_.productId);
    EXPECT_EQ(key_.path.rfind("/dev/hidraw", 0), 0U) << key_.path;
    EXPECT_NE(key_.path.find("vid_4b56"), std::string::npos) << key_.path;
    EXPECT_TRUE(key_.productNameAvailable);
    EXPECT_EQ(key_.productName, "Kelvora " + ReadLine(usb / "product"));
    EXPECT_EQ(key_.reportLengths.input, kReport);
    EXPECT_EQ(key_.reportLengths.output, kReport);
    EXPECT_FALSE(key_.accessDenied);
}

TEST_F(LinuxRigTest, AnInitIsAnsweredWholeAndASilentKeyTimesOutInBound) {
    const HidOpenResult opened = backend_->Open(key_);
    ASSERT_NE(opened.connection, nullptr);
    opened.connection->FlushInput();
    EXPECT_TRUE(AnswersInit(*opened.connection, 0x51));
    std::vector<std::uint8_t> answer(kReport);
    const Clock::time_point start = Clock::now();
    const HidIoResult silent = opened.connection->ReadWithin(answer, 300);
    const auto waited = Clock::now() - start;
    EXPECT_FALSE(silent.ok);
    EXPECT_EQ(silent.errorCode, kHidReadTimedOut);
    EXPECT_GE(waited, std::chrono::milliseconds(290));
    EXPECT_LT(waited, std::chrono::milliseconds(2000));
}

// As the window does: a key notified as arrived opens and answers once the arrival delay has
// passed, and a key notified as gone is no longer listed once the removal delay has.
TEST_F(LinuxRigTest, RemovalEndsABlockedReadAndTheWatcherSeesBothChangesInTime) {
    std::mutex mutex;
    std::vector<DeviceChangeKind> changes;
    char product[8] = {};
    (void)std::snprintf(product, sizeof product, "%04X", RigProduct());
    const std::unique_ptr<DeviceInterfaceWatcher> watcher =
        WatchDeviceInterfaces([&](DeviceChangeKind kind, const std::string& path) {
            if (path.find(product) == std::string::npos) {
                return;
            }
            const std::lock_guard<std::mutex> lock(mutex);
            changes.push_back(kind);
        });
    ASSERT_NE(watcher, nullptr);
    const fs::path usb = UsbDeviceOf(key_.path);
    const HidOpenResult opened = backend_->Open(key_);
    ASSERT_NE(opened.connection, nullptr);
    HidIoResult blocked;
    std::thread reader([&] {
        std::vector<std::uint8_t> report(kReport);
        blocked = opened.connection->Read(report);
    });
    const bool pulled = Authorize(usb, false);
    reader.join();  // a read on a gone device must end
    EXPECT_TRUE(pulled);
    EXPECT_FALSE(blocked.ok);
    EXPECT_NE(blocked.errorCode, kHidReadTimedOut);
    const auto seen = [&](DeviceChangeKind kind) {
        const std::lock_guard<std::mutex> lock(mutex);
        return std::find(changes.begin(), changes.end(), kind) != changes.end();
    };
    ASSERT_TRUE(
        WaitUntil("the removal notified", [&] { return seen(DeviceChangeKind::kRemoval); }));
    std::this_thread::sleep_for(kRemovalDelay);
    HidInterfaceInfo gone;
    EXPECT_FALSE(FindKey(*backend_, gone)) << "still listed " << gone.path;

    ASSERT_TRUE(Authorize(usb, true));
    ASSERT_TRUE(
        WaitUntil("the arrival notified", [&] { return seen(DeviceChangeKind::kArrival); }));
    std::this_thread::sleep_for(kArrivalDelay);
    HidInterfaceInfo again;
    ASSERT_TRUE(FindKey(*backend_, again));
    const HidOpenResult reopened = backend_->Open(again);
    ASSERT_NE(reopened.connection, nullptr);
    EXPECT_TRUE(AnswersInit(*reopened.connection, 0x52));
}

}  // namespace
}  // namespace kelvora::test
