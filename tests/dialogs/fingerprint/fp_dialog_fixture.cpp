#include "fp_dialog_fixture.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QWidget>
#include <chrono>
#include <cstdio>
#include <thread>

#include "dialogs/message_box/message_box.h"
#include "toolkit/container.h"
#include "transport/connect.h"

namespace kelvora::test {

namespace {
constexpr std::size_t kKeptSleeps = 1000;
constexpr std::int64_t kPastSettleDelayMs = 3000;
}  // namespace

void SteppingClock::SleepMs(std::uint32_t milliseconds) {
    now_.fetch_add(milliseconds);
    std::unique_lock lock(mutex_);
    if (sleeps_.size() < kKeptSleeps) {
        sleeps_.push_back(milliseconds);
    }
    released_.wait(lock, [&] { return heldMs_ != milliseconds; });
    lock.unlock();
    // A moment of real time, so that a polling worker does not flood its window.
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void SteppingClock::HoldPausesOf(std::uint32_t milliseconds) {
    std::lock_guard lock(mutex_);
    heldMs_ = milliseconds;
}

void SteppingClock::Release() {
    {
        std::lock_guard lock(mutex_);
        heldMs_ = 0;
    }
    released_.notify_all();
}

std::vector<std::uint32_t> SteppingClock::Sleeps() const {
    std::lock_guard lock(mutex_);
    return sleeps_;
}

void LockedDebugOutput::Write(std::string_view line) {
    std::lock_guard lock(mutex_);
    if (lines_.size() < kKeptSleeps) {
        lines_.emplace_back(line);
    }
}

void FastPacer::Pause(std::uint32_t /*periodMs*/, StopSignal& stop) {
    stop.WaitFor(std::chrono::milliseconds(1));
}

void FpDialogTest::TearDown() {
    if (HasFailure() && key != nullptr) {
        for (const vkey::HistoryEntry& entry : key->SnapshotState().history) {
            std::string hex;
            for (const std::uint8_t byte : entry.request) {
                hex += QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0')).toStdString();
            }
            std::fprintf(stderr, "key saw %s -> %x\n", hex.substr(0, 48).c_str(), entry.status);
        }
    }
    workerClock.Release();
    backend.SetDeviceChangeObserver(nullptr);
}

void FpDialogTest::StartKey(int model, std::uint8_t firmware, int samplesPerTemplate) {
    vkey::Config config;
    config.model = model;
    config.firmware = firmware;
    config.samplesPerTemplate = samplesPerTemplate;
    if (key != nullptr && key->plugged()) {
        key->Unplug();
    }
    // Each key starts as in a fresh run of the tool.
    keyState.deviceAbsent = false;
    keyState.systemSuspended = false;
    keyState.vendorCommandSet = false;
    keys.push_back(std::make_unique<vkey::VirtualKey>(config, keyClock));
    key = keys.back().get();
    backend.AddKey(*key);
    backend.SetDeviceChangeObserver([](const std::string& path, vkey::DeviceChange change) {
        BroadcastDeviceChange(
            change == vkey::DeviceChange::kRemoved ? kDbtDeviceRemoveComplete : kDbtDeviceArrival,
            DeviceBroadcast{kDbtDevtypDeviceInterface, std::wstring(path.begin(), path.end())});
    });
    key->Plug();
    keyClock.Advance(kPastSettleDelayMs);
    ASSERT_TRUE(ConnectDevice(device, clock).connected);
    // What GetInfo tells the main window.
    keyState.bioEnrollmentSupported = !Legacy();
    UiDriver::ProcessEvents();
}

void FpDialogTest::Enrol(std::uint16_t slot, int finger, const std::string& name) {
    key->EditState([&](vkey::State& state) {
        state.templates[slot] = vkey::Template{name, finger};
    });
}

bool FpDialogTest::Legacy() const {
    return key->config().isLegacy();
}

void FpDialogTest::RemoveKey() {
    keyState.deviceAbsent = true;
    key->Unplug();
}

WindowRun FpDialogTest::Run(WindowImplBase& window, const std::function<void(UiDriver&)>& script) {
    WindowRun run;
    ScopedModalHook hook([&](WindowImplBase& shown) {
        if (dynamic_cast<CDuiMessageBox*>(&shown) != nullptr) {
            UiDriver boxUi(shown);
            ShownBox box;
            if (auto* area = boxUi.FindAs<CContainerUI>(QStringLiteral("MsgBox"));
                area != nullptr && area->GetCount() > 0) {
                box.text = area->GetItemAt(0)->GetText();
            }
            run.boxes.push_back(box);
            boxUi.Click(QStringLiteral("OK"));
            return;
        }
        if (&shown != &window) {
            return;
        }
        QApplication::setActiveWindow(shown.GetWidget());
        UiDriver::ProcessEvents();
        UiDriver ui(shown);
        script(ui);
        UiDriver::ProcessEvents();
        run.closedByScript = shown.IsClosed();
        workerClock.Release();
        if (!shown.IsClosed()) {
            if (key != nullptr && key->plugged()) {
                RemoveKey();
            }
            WaitUntilClosed(shown);
            if (!shown.IsClosed()) {
                shown.Close(kLeftOpen);
            }
        }
    });
    EXPECT_TRUE(window.Create({}, QString::fromUtf8(kApplicationTitle), kDialogStyle));
    window.CenterWindow();
    run.modalResult = window.ShowModal();
    return run;
}

bool FpDialogTest::WaitFor(const std::function<bool()>& done) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < 2000) {
        UiDriver::ProcessEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return done();
}

bool FpDialogTest::WaitUntilClosed(WindowImplBase& window) {
    return WaitFor([&] { return window.IsClosed(); });
}

std::vector<std::uint8_t> FpDialogTest::CommandBytesSeen() const {
    std::vector<std::uint8_t> bytes;
    for (const vkey::HistoryEntry& entry : key->SnapshotState().history) {
        if (!entry.request.empty()) {
            bytes.push_back(entry.request.front());
        }
    }
    return bytes;
}

}  // namespace kelvora::test
