#include "pin_dialog_fixture.h"

#include <QWidget>
#include <chrono>

#include "ctap/client_pin.h"
#include "ctap/legacy_pin.h"
#include "ctap/status.h"
#include "dialogs/message_box/message_box.h"
#include "dialogs/pin/pin_entry.h"
#include "tests/common/window_script.h"
#include "transport/connect.h"

namespace kelvora::test {

void FastPacer::Pause(std::uint32_t periodMs, StopSignal& stop) {
    {
        std::lock_guard lock(mutex_);
        if (periods_.size() < 1000) {
            periods_.push_back(periodMs);
        }
    }
    stop.WaitFor(std::chrono::milliseconds(1));
}

std::vector<std::uint32_t> FastPacer::Periods() const {
    std::lock_guard lock(mutex_);
    return periods_;
}

QString Repeat(char ch, int count) {
    return QString(count, QLatin1Char(ch));
}

QString Kanji22() {
    return QString::fromUtf8("漢").repeated(22);
}

void PinDialogTest::TearDown() {
    backend.SetDeviceChangeObserver(nullptr);
}

void PinDialogTest::StartKey(int model, const std::string& pin) {
    vkey::Config config;
    config.model = model;
    config.firmware = kAesFirmware;
    key = std::make_unique<vkey::VirtualKey>(config, keyClock);
    keyPath = backend.AddKey(*key);
    // What the platform layer does with the system's device-interface notifications.
    backend.SetDeviceChangeObserver([](const std::string& path, vkey::DeviceChange change) {
        BroadcastDeviceChange(
            change == vkey::DeviceChange::kRemoved ? kDbtDeviceRemoveComplete : kDbtDeviceArrival,
            DeviceBroadcast{kDbtDevtypDeviceInterface, std::wstring(path.begin(), path.end())});
    });
    key->Plug();
    ASSERT_TRUE(ConnectDevice(device, clock).connected);
    if (!pin.empty()) {
        ASSERT_EQ(Legacy() ? SetPinLegacy(device, pin) : SetPin(device, pin),
                  SuccessStatus(keyState.selectedProductId));
    }
    UiDriver::ProcessEvents();  // the plug-in's arrival
}

void PinDialogTest::Replug() {
    key->Unplug();
    key->Plug();
    ASSERT_TRUE(ConnectDevice(device, clock).connected);
    UiDriver::ProcessEvents();
}

bool PinDialogTest::Legacy() const {
    return key->config().isLegacy();
}

QString PinDialogTest::RefusedByFamily() const {
    return Legacy() ? QString::fromUtf8("ü").repeated(4) : Kanji22();
}

const char* PinDialogTest::RefusedByFamilyText() const {
    return Legacy() ? pin_text::kNotInCodePage : pin_text::kTooLong;
}

DialogRun PinDialogTest::Run(CPinDialogBase& dialog, const std::function<void(UiDriver&)>& script) {
    DialogRun run;
    ScopedModalHook hook([&](WindowImplBase& window) {
        if (auto* box = dynamic_cast<CDuiMessageBox*>(&window)) {
            UiDriver boxUi(window);
            ShownBox shown;
            shown.text = MessageBoxText(boxUi);
            shown.icon = box->GetIconFile();
            shown.tokenWhenShown = !keyState.pinToken.Empty();
            run.boxes.push_back(shown);
            if (onBox) {
                onBox(shown);
            }
            boxUi.Click(QStringLiteral("OK"));
            return;
        }
        if (&window != &dialog) {
            return;
        }
        PlayInFront(window, script);
        run.closedByScript = window.IsClosed();
        if (!window.IsClosed()) {
            window.Close(kLeftOpen);
        }
    });
    EXPECT_TRUE(dialog.Create({}, QString::fromUtf8(kApplicationTitle), kDialogStyle));
    dialog.CenterWindow();
    run.modalResult = dialog.ShowModal();
    return run;
}

bool PinDialogTest::KeyAccepts(const std::string& pin) {
    if (Legacy()) {
        return ChangePinLegacy(device, pin, pin) == kSwSuccess;
    }
    return GetPinToken(device, pin) == kCtapSuccess;
}

int PinDialogTest::KeyRetries() {
    return static_cast<int>(key->SnapshotState().pinRetries);
}

}  // namespace kelvora::test
