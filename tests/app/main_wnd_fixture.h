// The main window on in-process virtual keys, driven as a person would: keys are plugged
// and unplugged, the window follows through the same notifications the system sends.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/main_wnd.h"
#include "tests/common/fakes.h"
#include "tests/common/ui_wait.h"
#include "toolkit/container.h"
#include "toolkit/gui_test_environment.h"
#include "toolkit/test_driver.h"
#include "vkey/virtual_hid_backend.h"
#include "vkey/virtual_key.h"

namespace kelvora::test {

inline const QString kNoKeyStatus = QStringLiteral("デバイスが見つかりません");
inline const QString kKeyStatus = QStringLiteral("デバイスが見つかりました");

class MainWindowTest : public ::testing::Test {
  protected:
    MainWindowTest() {
        backend_.SetDeviceChangeObserver([](const std::string& path, vkey::DeviceChange change) {
            BroadcastDeviceChange(
                change == vkey::DeviceChange::kArrived ? kDbtDeviceArrival
                                                       : kDbtDeviceRemoveComplete,
                DeviceBroadcast{kDbtDevtypDeviceInterface, std::wstring(path.begin(), path.end())});
        });
    }

    ~MainWindowTest() override {
        window_.reset();  // its session holds connections to the keys
        UiDriver::ProcessEvents();
    }

    // A key of `model` (1-7) holding `state`, listed by the backend and plugged in unless
    // told otherwise.
    vkey::VirtualKey& AddKey(int model, vkey::State state = {}, bool plug = true,
                             bool unopenable = false) {
        vkey::Config config;
        config.model = model;
        keys_.push_back(std::make_unique<vkey::VirtualKey>(config, keyClock_, std::move(state)));
        vkey::VirtualKey& key = *keys_.back();
        vkey::VirtualInterfaceOptions options;
        options.unopenable = unopenable;
        backend_.AddKey(key, options);
        if (plug) {
            key.Plug();
        }
        return key;
    }

    // Creates and shows the window; "windowinit" makes it look for keys.
    void Open(bool resetAtStart = false) {
        MainWndOptions options;
        options.timeZone = QTimeZone(9 * 3600);
        options.clock = &sessionClock_;
        options.elevation = &elevation_;
        options.arguments = arguments_;
        options.instance = &instance_;
        window_ = std::make_unique<CMainWnd>(backend_, options);
        window_->State().resetAtStart = resetAtStart;
        ASSERT_TRUE(window_->Create({}, QString::fromUtf8(kApplicationTitle), kDialogStyle));
        window_->ShowWindow(true);
        ui_ = std::make_unique<UiDriver>(*window_);
        UiDriver::ProcessEvents();
    }

    ::testing::AssertionResult WaitForStatus(const QString& status) {
        return KELVORA_WAIT_FOR_UI(ui_->Text(QStringLiteral("label_status")) == status);
    }

    int Page(const char* tabLayout) const {
        auto* tabs = ui_->FindAs<CTabLayoutUI>(QString::fromLatin1(tabLayout));
        return tabs == nullptr ? -1 : tabs->GetCurSel();
    }

    CListUI& List() const { return *ui_->FindAs<CListUI>(QStringLiteral("list_Fingerprint")); }

    QString RowText(int row, const char* label) const {
        auto* element = dynamic_cast<CContainerUI*>(List().GetItemAt(row));
        CControlUI* control =
            element == nullptr ? nullptr : element->FindSubControl(QString::fromLatin1(label));
        return control == nullptr ? QStringLiteral("<missing>") : control->GetText();
    }

    void Screenshot(const QString& name) const {
        EXPECT_TRUE(ui_->SaveScreenshot(ScreenshotFolder() + QLatin1Char('/') + name));
    }

    vkey::ManualClock keyClock_{1000};
    FakeClock sessionClock_;
    std::vector<std::unique_ptr<vkey::VirtualKey>> keys_;  // outlive the backend
    vkey::VirtualHidBackend backend_;
    std::unique_ptr<CMainWnd> window_;
    std::unique_ptr<UiDriver> ui_;
    // Administrator rights as on a Windows without them, unless a test says otherwise; the
    // window's single-instance claim under a name of this test's own.
    FakeElevation elevation_;
    std::vector<std::string> arguments_;
    InstanceClaim instance_{"kelvora-test-main-window-" +
                                std::to_string(::testing::UnitTest::GetInstance()->random_seed()),
                            nullptr};
};

// A key state with or without a PIN and with fingerprints in the given slots and names.
inline vkey::State StateWith(bool pin, const std::map<std::uint16_t, std::string>& templates) {
    vkey::State state;
    if (pin) {
        state.pinHash = vkey::Bytes(16, 0x5A);
    }
    int finger = 1;
    for (const auto& [slot, name] : templates) {
        state.templates[slot] = vkey::Template{name, finger++};
    }
    return state;
}

}  // namespace kelvora::test
