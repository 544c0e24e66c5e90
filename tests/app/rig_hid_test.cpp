// The Windows HID backend and device notifications against keys behind Wine's own HID
// stack (scripts/windows/hid-rig.sh). Run by scripts/windows-test.sh with the rig started:
//   KELVORA_RIG_PRODUCTS  the rig's keys' product ids, slot order ("2B03,2B06"); another
//                         vendor's device may be plugged as well
//   KELVORA_RIG_CONTROL   the rig's controller (kelvora-hid-rig.exe), to pull slot 0 and
//                         plug it in again
// Without them every case is skipped.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/device_notifications.h"
#include "transport/device_ids.h"
#include "transport/hid_backend.h"

namespace kelvora::test {
namespace {

using Clock = std::chrono::steady_clock;
constexpr std::size_t kReport = 65;

std::vector<std::uint16_t> RigProducts() {
    std::vector<std::uint16_t> products;
    const char* text = std::getenv("KELVORA_RIG_PRODUCTS");
    std::stringstream list(text != nullptr ? text : "");
    for (std::string item; std::getline(list, item, ',');) {
        products.push_back(static_cast<std::uint16_t>(std::stoul(item, nullptr, 16)));
    }
    return products;
}

// Runs the controller with `arguments`; true when it succeeded.
bool Control(const std::string& arguments) {
    const char* control = std::getenv("KELVORA_RIG_CONTROL");
    if (control == nullptr) {
        return false;
    }
    std::string line = std::string("\"") + control + "\" " + arguments;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return false;
    }
    WaitForSingleObject(process.hProcess, 60000);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code == 0;
}

HidInterfaceInfo FirstKey(HidBackend& backend) {
    for (const HidInterfaceInfo& info : backend.Enumerate()) {
        if (info.productId == RigProducts().front()) {
            return info;
        }
    }
    return {};
}

// A CTAPHID INIT on the broadcast channel.
std::vector<std::uint8_t> InitReport(std::uint8_t tag) {
    std::vector<std::uint8_t> report(kReport, 0);
    const std::uint8_t head[] = {0, 0xFF, 0xFF, 0xFF, 0xFF, 0x86, 0, 8, tag, 1, 2, 3, 4, 5, 6, 7};
    std::copy(std::begin(head), std::end(head), report.begin());
    return report;
}

class RigTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (RigProducts().empty()) {
            GTEST_SKIP() << "no HID rig (KELVORA_RIG_PRODUCTS unset)";
        }
    }
};

TEST_F(RigTest, DiscoveryDescribesEveryRigKeyAndSkipsTheOtherVendor) {
    const std::unique_ptr<HidBackend> backend = MakeSystemHidBackend();
    const std::vector<HidInterfaceInfo> listed = backend->Enumerate();
    std::vector<std::uint16_t> products;
    for (const HidInterfaceInfo& info : listed) {
        SCOPED_TRACE(info.path);
        EXPECT_EQ(info.vendorId, kMakerVendorId);
        EXPECT_FALSE(info.accessDenied);
        EXPECT_NE(info.path.find("vid_4b56"), std::string::npos);
        EXPECT_EQ(info.productName, "Kelvora Virtual Key " +
                                        std::to_string(SupportedProductIndex(info.productId) + 1));
        EXPECT_EQ(info.reportLengths.input, kReport);
        EXPECT_EQ(info.reportLengths.output, kReport);
        products.push_back(info.productId);
    }
    EXPECT_EQ(products, RigProducts());
}

TEST_F(RigTest, AnInitIsAnsweredWholeAndASilentKeyTimesOutInBound) {
    const std::unique_ptr<HidBackend> backend = MakeSystemHidBackend();
    const HidOpenResult opened = backend->Open(FirstKey(*backend));
    ASSERT_NE(opened.connection, nullptr);
    HidConnection& key = *opened.connection;
    HidReportLengths lengths;
    ASSERT_TRUE(key.ReportLengths(lengths));
    key.FlushInput();
    const std::vector<std::uint8_t> init = InitReport(0x51);
    const HidIoResult written = key.Write(init);
    ASSERT_TRUE(written.ok) << written.errorCode;
    EXPECT_EQ(written.bytes, kReport);
    std::vector<std::uint8_t> answer(kReport);
    const HidIoResult read = key.ReadWithin(answer, 2000);
    ASSERT_TRUE(read.ok) << read.errorCode;
    EXPECT_EQ(read.bytes, kReport);
    EXPECT_EQ(answer[0], 0);  // the report id
    EXPECT_EQ(answer[5], 0x86);
    EXPECT_TRUE(std::equal(init.begin() + 8, init.begin() + 16, answer.begin() + 8));
    // Nothing more is coming: the read gives up after about its bound, no sooner.
    const Clock::time_point start = Clock::now();
    const HidIoResult silent = key.ReadWithin(answer, 300);
    const auto waited = Clock::now() - start;
    EXPECT_FALSE(silent.ok);
    EXPECT_EQ(silent.errorCode, kHidReadTimedOut);
    EXPECT_GE(waited, std::chrono::milliseconds(250));
    EXPECT_LT(waited, std::chrono::milliseconds(2000));
}

TEST_F(RigTest, RemovalFailsABlockedReadAndBothChangesAreNotified) {
    if (std::getenv("KELVORA_RIG_CONTROL") == nullptr) {
        GTEST_SKIP() << "KELVORA_RIG_CONTROL unset";
    }
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::pair<DeviceChangeKind, std::string>> changes;
    const std::unique_ptr<DeviceInterfaceWatcher> watcher =
        WatchDeviceInterfaces([&](DeviceChangeKind kind, const std::string& path) {
            const std::lock_guard<std::mutex> lock(mutex);
            changes.emplace_back(kind, path);
            changed.notify_all();
        });
    ASSERT_NE(watcher, nullptr);
    const std::unique_ptr<HidBackend> backend = MakeSystemHidBackend();
    const HidOpenResult opened = backend->Open(FirstKey(*backend));
    ASSERT_NE(opened.connection, nullptr);
    HidIoResult blocked;
    std::thread reader([&] {
        std::vector<std::uint8_t> report(kReport);
        blocked = opened.connection->Read(report);
    });
    const bool unplugged = Control("unplug 0");
    reader.join();  // a read on a gone device must end
    EXPECT_TRUE(unplugged);
    EXPECT_FALSE(blocked.ok);
    EXPECT_NE(blocked.errorCode, kHidReadTimedOut);
    const bool plugged = Control("plug 0");
    EXPECT_TRUE(plugged);
    char product[8] = {};
    (void)std::snprintf(product, sizeof product, "%04X", RigProducts().front());
    std::unique_lock<std::mutex> lock(mutex);
    const auto seen = [&](DeviceChangeKind kind) {
        for (const auto& [was, path] : changes) {
            if (was == kind && path.find(product) != std::string::npos) {
                return true;
            }
        }
        return false;
    };
    EXPECT_TRUE(changed.wait_for(lock, std::chrono::seconds(10), [&] {
        return seen(DeviceChangeKind::kRemoval) && seen(DeviceChangeKind::kArrival);
    }));
    lock.unlock();
    // And the key is found again, and answers.
    const HidOpenResult again = backend->Open(FirstKey(*backend));
    ASSERT_NE(again.connection, nullptr);
    const std::vector<std::uint8_t> init = InitReport(0x52);
    EXPECT_TRUE(again.connection->Write(init).ok);
    std::vector<std::uint8_t> answer(kReport);
    EXPECT_TRUE(again.connection->ReadWithin(answer, 2000).ok);
}

}  // namespace
}  // namespace kelvora::test
