#include "fp_dialog_fixture.h"

#include <QWidget>
#include <chrono>
#include <cstdio>
#include <thread>

#include "dialogs/message_box/message_box.h"
#include "tests/common/window_script.h"
#include "transport/connect.h"

namespace kelvora::test {

namespace {
constexpr std::size_t kKeptSleeps = 1000;
constexpr std::int64_t kPastSettleDelayMs = 3000;
}  // namespace

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
            run.boxes.push_back(ShownBox{MessageBoxText(boxUi)});
            boxUi.Click(QStringLiteral("OK"));
            return;
        }
        if (&shown != &window) {
            return;
        }
        PlayInFront(shown, script);
        run.closedByScript = shown.IsClosed();
        workerClock.Release();
        if (!shown.IsClosed()) {
            if (key != nullptr && key->plugged()) {
                RemoveKey();
            }
            if (!WaitUntilClosed(shown)) {
                shown.Close(kLeftOpen);
            }
            // A window that refuses even that would keep its modal loop, and the whole
            // program, waiting for ever: the base class closes it and the test fails.
            if (!WaitUntilClosed(shown, std::chrono::milliseconds(2000))) {
                ADD_FAILURE() << "the window refused to close";
                shown.WindowImplBase::HandleMessage(kWmClose, kLeftOpen, 0);
            }
        }
    });
    EXPECT_TRUE(window.Create({}, QString::fromUtf8(kApplicationTitle), kDialogStyle));
    window.CenterWindow();
    run.modalResult = window.ShowModal();
    return run;
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
