#include "person.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>

#include "dialogs/passkeys/passkey_wnd.h"
#include "tests/common/window_script.h"
#include "toolkit/accessibility_walk.h"
#include "toolkit/container.h"
#include "toolkit/list.h"
#include "toolkit/test_driver.h"

namespace kelvora::test {
namespace {

constexpr std::chrono::milliseconds kSampleTimeout{3000};
// A window that is done closes at once; one still open after this was refused.
constexpr std::chrono::milliseconds kRefusalSeen{200};
constexpr int kGiveUpCode = 99;
// Longer than the key waits for a finger.
constexpr std::int64_t kPastFingerWaitMs = 6000;

}  // namespace

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
    // A window that reads the key first is met once it shows what it read.
    if (const auto* passkeys = dynamic_cast<const CPasskeyWnd*>(&window)) {
        EXPECT_TRUE(WaitForUi("the passkeys read", [&] { return !passkeys->Busy(); }));
    }
    if (onOpen) {
        onOpen(window);
    }
    if (act == Act::kAnswer && throughAccessibility && AnswerThroughAccessibility(window)) {
        return;
    }
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
        if (!WaitUntilClosed(window, kRefusalSeen) && keyClock_ != nullptr) {
            keyClock_->Advance(kPastFingerWaitMs);
            EXPECT_TRUE(WaitUntilClosed(window));
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
    } else if (layout == kPasskeysLayout) {
        UsePasskeyWindow(window);
    } else if (layout == kEnrollLayout) {
        TouchUntilClosed(window);
    } else if (layout == kVerifyFingerLayout || layout == kResetLayout) {
        // One touch, held until the verdict.
        key_->PlaceFinger(finger);
        EXPECT_TRUE(WaitUntilClosed(window));
        key_->LiftFinger();
    }
    // A window still open now was refused (a wrong PIN, a bad name): the person gives up.
    if (!WaitUntilClosed(window, kRefusalSeen)) {
        if (!ui.Click(QStringLiteral("closebtn"))) {
            ADD_FAILURE() << layout.toStdString() << " stayed open";
            window.Close(kGiveUpCode);
        }
    }
}

void Person::AnswerMessageBox(WindowImplBase& box, Act act) {
    UiDriver ui(box);
    messages.push_back(ShownMessage{box.GetWindowText(), MessageBoxText(ui)});
    if (act == Act::kUnplug && key_ != nullptr) {
        key_->Unplug();
        if (WaitUntilClosed(box)) {
            return;
        }
    }
    if (act == Act::kCancel && ui.Click(QStringLiteral("Cancel"))) {
        return;
    }
    ui.Click(QStringLiteral("OK"));
}

bool Person::AnswerThroughAccessibility(WindowImplBase& window) {
    const QString layout = window.GetSkinFile();
    const std::vector<AccessibleNode> nodes = WalkAccessible(window.GetWidget());
    if (layout == kChangePinLayout) {
        const auto field = [&](const char* name) {
            return FindNode(nodes, QAccessible::EditableText, QString::fromUtf8(name));
        };
        EXPECT_TRUE(TypeInto(field("旧PIN"), QString::fromStdString(pin)));
        EXPECT_TRUE(TypeInto(field("新PIN"), QString::fromStdString(newPin)));
        EXPECT_TRUE(TypeInto(field("新PIN再入力"), QString::fromStdString(newPin)));
    } else if (layout == kMessageBoxLayout) {
        // The caption, then the message.
        QStringList texts;
        for (const AccessibleNode& node : nodes) {
            if (node.shown && node.role == QAccessible::StaticText) {
                texts << node.name;
            }
        }
        messages.push_back(
            ShownMessage{nodes.empty() ? QString() : nodes.front().name, texts.value(1)});
    } else {
        return false;
    }
    EXPECT_TRUE(Press(FindNode(nodes, QAccessible::Button, QStringLiteral("OK"))));
    EXPECT_TRUE(WaitUntilClosed(window)) << layout.toStdString();
    return true;
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
    while (!window.IsClosed() && timer.elapsed() < kWaitLimit.count()) {
        if (key_->config().isLegacy()) {
            WaitForUi(
                "the legacy key to ask for the touch",
                [&] { return window.IsClosed() || legacyAsks(); }, kSampleTimeout);
        }
        const QString before = ui.Image(image);
        key_->PlaceFinger(finger);
        // The key has taken the sample once the picture changes (or the window closes).
        if (WaitForUi(
                "the sample's picture",
                [&] { return window.IsClosed() || ui.Image(image) != before; }, kSampleTimeout) &&
            !window.IsClosed()) {
            ++samplesShown;
        }
        key_->LiftFinger();
        if (key_->config().isLegacy()) {
            // The prompt of the sample just taken is still up until the key sees the lift.
            WaitForUi(
                "the legacy key to see the lift",
                [&] { return window.IsClosed() || !legacyAsks(); }, kSampleTimeout / 10);
        }
    }
    EXPECT_TRUE(window.IsClosed()) << window.GetSkinFile().toStdString() << " did not end";
}

void Person::UsePasskeyWindow(WindowImplBase& window) {
    const auto& passkeys = dynamic_cast<const CPasskeyWnd&>(window);
    UiDriver ui(window);
    const auto read = [&] {
        std::vector<QString> rows;
        auto* list = ui.FindAs<CListUI>(QStringLiteral("list_passkeys"));
        for (int row = 0; list != nullptr && row < list->GetCount(); ++row) {
            auto* item = dynamic_cast<CContainerUI*>(list->GetItemAt(row));
            const auto text = [&](const char* name) {
                const CControlUI* label =
                    item == nullptr ? nullptr : item->FindSubControl(QString::fromLatin1(name));
                return label == nullptr ? QString() : label->GetText();
            };
            rows.push_back(text("label_site") + QStringLiteral(" / ") + text("label_user"));
        }
        passkeyReadings.push_back(rows);
    };
    read();
    if (passkeyRowToDelete >= 0) {
        EXPECT_TRUE(ui.SelectRow(QStringLiteral("list_passkeys"), passkeyRowToDelete));
        // The confirmation is answered inside the click; the window then deletes and reads.
        EXPECT_TRUE(ui.Click(QStringLiteral("btn_delete")));
        EXPECT_TRUE(WaitForUi("the passkeys read again",
                              [&] { return window.IsClosed() || !passkeys.Busy(); }));
        read();
    }
    ui.Click(QStringLiteral("closebtn"));
}

void Person::UnplugAndWait(WindowImplBase& window) {
    ASSERT_NE(key_, nullptr);
    key_->Unplug();
    EXPECT_TRUE(WaitUntilClosed(window)) << "without its key";
    if (!window.IsClosed()) {
        window.Close(kGiveUpCode);
    }
}

}  // namespace kelvora::test
