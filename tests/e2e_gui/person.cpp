#include "person.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>

#include "toolkit/container.h"
#include "toolkit/test_driver.h"

namespace kelvora::test {
namespace {

// Generous: a sanitizer build on a busy machine takes seconds over an enrollment.
constexpr int kWindowTimeoutMs = 20000;
constexpr int kSampleTimeoutMs = 3000;
constexpr int kGiveUpCode = 99;
// Longer than the key waits for a finger.
constexpr std::int64_t kPastFingerWaitMs = 6000;

}  // namespace

bool WaitFor(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < timeoutMs) {
        UiDriver::ProcessEvents();
        QThread::msleep(1);
    }
    return done();
}

std::string Describe(const std::vector<QString>& windows) {
    std::string text;
    for (const QString& layout : windows) {
        text += layout.toStdString() + " ";
    }
    return text;
}

Act Person::ActFor(const QString& layout) const {
    const auto found = acts.find(layout);
    return found == acts.end() ? Act::kAnswer : found->second;
}

void Person::Handle(WindowImplBase& window) {
    const QString layout = window.GetSkinFile();
    opened.push_back(layout);
    const Act act = ActFor(layout);
    QApplication::setActiveWindow(window.GetWidget());
    UiDriver::ProcessEvents();
    UiDriver ui(window);
    if (act == Act::kAnswerThenUnplugAtNextExchange && key_ != nullptr) {
        key_->UnplugBeforeRequest(0);
    }
    if (layout == kMessageBoxLayout) {
        AnswerMessageBox(window, act);
        return;
    }
    if (act == Act::kUnplug) {
        UnplugAndWait(window);
        return;
    }
    if (act == Act::kCancel) {
        EXPECT_TRUE(ui.Click(QStringLiteral("closebtn"))) << layout.toStdString();
        // A cancelled enrollment closes once the key has stopped waiting for the finger.
        if (!WaitFor([&] { return window.IsClosed(); }, 200) && keyClock_ != nullptr) {
            keyClock_->Advance(kPastFingerWaitMs);
            WaitFor([&] { return window.IsClosed(); }, kWindowTimeoutMs);
        }
    } else if (layout == kVerifyPinLayout) {
        ui.Type(QStringLiteral("edit_pin"), QString::fromStdString(pin));
        ui.Click(QStringLiteral("btn_ok"));
    } else if (layout == kSetPinLayout) {
        ui.Type(QStringLiteral("edit_pin"), QString::fromStdString(pin));
        ui.Type(QStringLiteral("edit_pin2"), QString::fromStdString(pin));
        ui.Click(QStringLiteral("btn_ok"));
    } else if (layout == kChangePinLayout) {
        ui.Type(QStringLiteral("edit_pin_old"), QString::fromStdString(pin));
        ui.Type(QStringLiteral("edit_pin_new"), QString::fromStdString(newPin));
        ui.Type(QStringLiteral("edit_pin_new2"), QString::fromStdString(newPin));
        ui.Click(QStringLiteral("btn_ok"));
    } else if (layout == kOptionLayout || layout == kModeLayout) {
        const std::uint32_t choice = layout == kOptionLayout ? option : mode;
        ui.Click(choice == kChosePin ? QStringLiteral("btn_pin") : QStringLiteral("btn_fp"));
    } else if (layout == kEditNameLayout) {
        ui.Type(QStringLiteral("edit_fingername"), newName);
        ui.Click(QStringLiteral("btn_ok"));
    } else if (layout == kEnrollLayout) {
        TouchUntilClosed(window);
    } else if (layout == kVerifyFingerLayout || layout == kResetLayout) {
        // One touch, held until the verdict.
        key_->PlaceFinger(finger);
        EXPECT_TRUE(WaitFor([&] { return window.IsClosed(); }, kWindowTimeoutMs))
            << layout.toStdString() << " did not end";
        key_->LiftFinger();
    }
    // A window still open now was refused (a wrong PIN, a bad name): the person gives up.
    if (!WaitFor([&] { return window.IsClosed(); }, 200)) {
        if (!ui.Click(QStringLiteral("closebtn"))) {
            ADD_FAILURE() << layout.toStdString() << " stayed open";
            window.Close(kGiveUpCode);
        }
    }
}

void Person::AnswerMessageBox(WindowImplBase& box, Act act) {
    UiDriver ui(box);
    ShownMessage message{box.GetWindowText(), {}};
    if (auto* area = ui.FindAs<CContainerUI>(QStringLiteral("MsgBox"));
        area != nullptr && area->GetCount() > 0) {
        message.text = area->GetItemAt(0)->GetText();
    }
    messages.push_back(message);
    if (act == Act::kUnplug && key_ != nullptr) {
        key_->Unplug();
        if (WaitFor([&] { return box.IsClosed(); }, kWindowTimeoutMs)) {
            return;
        }
    }
    if (act == Act::kCancel && ui.Click(QStringLiteral("Cancel"))) {
        return;
    }
    ui.Click(QStringLiteral("OK"));
}

void Person::TouchUntilClosed(WindowImplBase& window) {
    UiDriver ui(window);
    const QString image = QStringLiteral("image_show");
    const QString text = QStringLiteral("txt_show");
    // A legacy key counts a touch only after it has seen the sensor empty; it says so by
    // asking for the touch ("指紋センサーをタッチ", with the samples left after the first).
    const auto legacyAsks = [&] {
        const QString shown = ui.Text(text);
        return shown == QStringLiteral("指紋センサーをタッチ") ||
               shown.startsWith(QStringLiteral("指紋センサーをタッチ（"));
    };
    QElapsedTimer timer;
    timer.start();
    while (!window.IsClosed() && timer.elapsed() < kWindowTimeoutMs) {
        if (key_->config().isLegacy()) {
            WaitFor([&] { return window.IsClosed() || legacyAsks(); }, kSampleTimeoutMs);
        }
        const QString before = ui.Image(image);
        key_->PlaceFinger(finger);
        // The key has taken the sample once the picture changes (or the window closes).
        if (WaitFor([&] { return window.IsClosed() || ui.Image(image) != before; },
                    kSampleTimeoutMs) &&
            !window.IsClosed()) {
            ++samplesShown;
        }
        key_->LiftFinger();
        if (key_->config().isLegacy()) {
            // The prompt of the sample just taken is still up until the key sees the lift.
            WaitFor([&] { return window.IsClosed() || !legacyAsks(); }, kSampleTimeoutMs / 10);
        }
    }
    EXPECT_TRUE(window.IsClosed()) << window.GetSkinFile().toStdString() << " did not end";
}

void Person::UnplugAndWait(WindowImplBase& window) {
    ASSERT_NE(key_, nullptr);
    key_->Unplug();
    EXPECT_TRUE(WaitFor([&] { return window.IsClosed(); }, kWindowTimeoutMs))
        << window.GetSkinFile().toStdString() << " stayed open without its key";
    if (!window.IsClosed()) {
        window.Close(kGiveUpCode);
    }
}

}  // namespace kelvora::test
