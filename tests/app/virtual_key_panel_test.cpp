// The virtual key's panel against a real in-process key and main window: its buttons move
// the key's sensor and plug, Apply swaps the key and the main window follows, and it keeps
// taking clicks while the main window or one of its dialogs is modal.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QWindow>

#include "app/key_setup.h"
#include "app/main_wnd.h"
#include "app/virtual_key_panel.h"
#include "main_wnd_fixture.h"
#include "toolkit/test_driver.h"

namespace kelvora::test {
namespace {

constexpr int kEnrolledFinger = 7;
constexpr int kTestHoldMs = 5;

AppOptions VirtualModel(int model) {
    AppOptions options;
    options.virtualModel = model;
    return options;
}

class VirtualKeyPanelTest : public ::testing::Test {
  protected:
    explicit VirtualKeyPanelTest(int touchHoldMs = kTestHoldMs)
        : keys_(VirtualModel(3), warning_), panel_(keys_, touchHoldMs) {
        Key().EditState([](vkey::State& state) { state.templates[0] = {"", kEnrolledFinger}; });
        panel_.show();
    }

    vkey::VirtualKey& Key() { return *keys_.InProcessKey(); }
    template <typename Widget>
    Widget& Find(const char* name) {
        auto* widget = panel_.findChild<Widget*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return *widget;
    }
    void Click(const char* name) { Find<QPushButton>(name).click(); }
    QString Status() { return Find<QLabel>("status").text(); }

    std::string warning_;
    KeySetup keys_;
    VirtualKeyPanel panel_;
};

TEST_F(VirtualKeyPanelTest, TouchesAreAPressAndARelease) {
    Click("touch_enrolled");
    EXPECT_EQ(Key().fingerOnSensor(), kEnrolledFinger);
    EXPECT_TRUE(KELVORA_WAIT_FOR_UI(!Key().fingerOnSensor())) << "never lifted by itself";

    Click("touch_other");
    const std::optional<int> other = Key().fingerOnSensor();
    ASSERT_TRUE(other);
    EXPECT_NE(*other, kEnrolledFinger);
    EXPECT_NE(*other, vkey::kStrangerFinger) << "a finger an enrolment could keep";
    Click("lift");
    EXPECT_FALSE(Key().fingerOnSensor());

    // Without templates, the finger touched is the one an enrolment takes, and the other
    // finger differs from it.
    Key().EditState([](vkey::State& state) { state.templates.clear(); });
    EXPECT_NE(VirtualKeyPanel::EnrolledFinger(Key()), VirtualKeyPanel::OtherFinger(Key()));
}

TEST_F(VirtualKeyPanelTest, PlugToggleAndApplySwapTheKeyAndTheMainWindowFollows) {
    CMainWnd window(keys_.Backend());
    ASSERT_TRUE(window.Create({}, QString::fromUtf8(kApplicationTitle), kDialogStyle));
    window.ShowWindow(true);
    UiDriver ui(window);
    const auto mainStatusIs = [&](const char* text) {
        return KELVORA_WAIT_FOR_UI(ui.Text(QStringLiteral("label_status")) == text);
    };
    ASSERT_TRUE(mainStatusIs("デバイスが見つかりました"));

    Click("plug");
    EXPECT_FALSE(Key().plugged());
    EXPECT_TRUE(Status().startsWith(QStringLiteral("Unplugged"))) << Status().toStdString();
    EXPECT_TRUE(mainStatusIs("デバイスが見つかりません"));
    Click("plug");
    EXPECT_TRUE(Key().plugged());
    EXPECT_TRUE(mainStatusIs("デバイスが見つかりました"));

    vkey::VirtualKey* old = &Key();
    Find<QCheckBox>("auto_touch").setChecked(false);
    auto& model = Find<QComboBox>("model");
    model.setCurrentIndex(model.findData(1));
    auto& firmware = Find<QComboBox>("firmware");
    firmware.setCurrentIndex(firmware.findData(16));
    Click("apply");
    ASSERT_NE(&Key(), old);
    EXPECT_FALSE(old->plugged());
    EXPECT_TRUE(Key().plugged());
    EXPECT_EQ(Key().config().model, 1);
    EXPECT_EQ(Key().config().firmware, 16);
    EXPECT_FALSE(keys_.autoTouch());
    EXPECT_TRUE(Status().contains(QStringLiteral("model 1 (PID 1A01) · firmware 16")))
        << Status().toStdString();
    EXPECT_TRUE(Status().contains(QStringLiteral("0 fingerprints"))) << "a blank key";
    EXPECT_TRUE(mainStatusIs("デバイスが見つかりました"));
    window.Close(1);
    UiDriver::ProcessEvents();
    window.Device().CloseAllDevices();
}

// Touches that stay until "lift": a click is read after the window system delivered it, which
// on a busy machine can take longer than a short hold lasts.
class HeldTouchPanelTest : public VirtualKeyPanelTest {
  protected:
    HeldTouchPanelTest() : VirtualKeyPanelTest(kHeldMs) {}
    static constexpr int kHeldMs = 600000;
};

TEST_F(HeldTouchPanelTest, TakesClicksWhileTheMainWindowOrItsDialogIsModal) {
    // The main window's modal loop, a dialog of it (the help box) on top, and the main window
    // again once the dialog has closed.
    CMainWnd window(keys_.Backend());
    ASSERT_TRUE(window.Create({}, QString::fromUtf8(kApplicationTitle), kDialogStyle));
    QPushButton& touch = Find<QPushButton>("touch_enrolled");
    std::vector<std::string> reacted;
    const auto touchThroughTheWindowSystem = [&](const char* while_) {
        // The window system's input path, where a modal window blocks the windows it owns.
        QTest::mouseClick(panel_.windowHandle(), Qt::LeftButton, {},
                          touch.mapTo(&panel_, touch.rect().center()));
        if (Key().fingerOnSensor() == kEnrolledFinger) {
            reacted.emplace_back(while_);
        }
        Click("lift");
    };
    ScopedModalHook hook([&](WindowImplBase& modal) {
        if (&modal != &window) {
            touchThroughTheWindowSystem("dialog");
            modal.Close(1);
            return;
        }
        touchThroughTheWindowSystem("main window");
        UiDriver(window).Click(QStringLiteral("btn_help"));
        touchThroughTheWindowSystem("after the dialog");
        window.Close(1);
    });
    window.ShowModal();
    EXPECT_EQ(reacted, (std::vector<std::string>{"main window", "dialog", "after the dialog"}));
    window.Device().CloseAllDevices();
}

}  // namespace
}  // namespace kelvora::test
