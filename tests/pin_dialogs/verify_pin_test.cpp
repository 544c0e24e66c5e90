// The PIN verification dialog on a CTAP2 key and on a legacy model: entry rules, the key's
// refusals, the token it leaves, keys, and closing when the key goes away.
#include <QDir>

#include "ctap/status.h"
#include "dialogs/pin/pin_entry.h"
#include "dialogs/pin/pin_verify_wnd.h"
#include "pin_dialog_fixture.h"
#include "toolkit/edit.h"
#include "toolkit/gui_test_environment.h"

namespace kelvora::test {
namespace {

const QString kStatus = QStringLiteral("label_status");
const QString kEdit = QStringLiteral("edit_pin");

class VerifyPinTest : public PinDialogTest {
  protected:
    // Types `pin`, presses OK, and returns what the status label then says.
    DialogRun Verify(const QString& pin, QString* shown = nullptr, int* result = nullptr) {
        CPINVerifyWnd dialog(device, pacer);
        return Run(dialog, [&](UiDriver& ui) {
            ui.Type(kEdit, pin);
            ui.Click(QStringLiteral("btn_ok"));
            if (shown != nullptr) {
                *shown = ui.Text(kStatus);
            }
            if (result != nullptr) {
                *result = dialog.GetResult();
            }
            if (dialog.GetResult() == kCtapErrPinInvalid) {
                ui.SaveScreenshot(
                    QDir(ScreenshotFolder()).filePath(QStringLiteral("PINVerify.png")));
            }
        });
    }
};

TEST_F(VerifyPinTest, EntryRulesAreCheckedBeforeAnythingIsSent) {
    StartKey(kCtapModel, "1234");
    struct Case {
        QString pin;
        const char* message;
    };
    const Case cases[] = {
        {QString(), pin_text::kEnterPin},
        {QStringLiteral("123"), pin_text::kTooShort},
        {Repeat('1', 64), pin_text::kTooLong},
        {Kanji22(), pin_text::kTooLong},  // 22 characters, 66 bytes
    };
    for (const Case& c : cases) {
        QString shown;
        int result = 0;
        const DialogRun run = Verify(c.pin, &shown, &result);
        EXPECT_EQ(shown, QString::fromUtf8(c.message)) << c.pin.size();
        EXPECT_EQ(result, kStatusEntryError);
        EXPECT_FALSE(run.closedByScript);
    }
    EXPECT_EQ(KeyRetries(), 8) << "no PIN reached the key";
    EXPECT_TRUE(keyState.pinToken.Empty());
}

TEST_F(VerifyPinTest, TheRightPinLeavesATokenAndClosesWithOne) {
    const std::string pin(63, '7');  // the longest PIN accepted
    StartKey(kCtapModel, pin);
    const DialogRun run = Verify(QString::fromStdString(pin));
    EXPECT_EQ(run.modalResult, 1);
    EXPECT_TRUE(run.boxes.empty());
    EXPECT_FALSE(keyState.pinToken.Empty());
}

TEST_F(VerifyPinTest, RefusalsAreShownUnderTheField) {
    struct Case {
        const char* name;
        bool pinSet;
        int retriesOnKey;
        int priorFailures;  // wrong PINs sent before, in this plug-in
        QString expected;
        int status;
    };
    const Case cases[] = {
        {"wrong PIN", true, 8, 0, QString::fromUtf8(pin_text::kVerifyFailed), kCtapErrPinInvalid},
        {"third wrong PIN in a row", true, 8, 2, QString::fromUtf8(pin_text::kLocked),
         kCtapErrPinAuthBlocked},
        {"blocked", true, 0, 0, QString::fromUtf8(pin_text::kLocked), kCtapErrPinBlocked},
        // Any other refusal asks for the retry count.
        {"no PIN, 7 retries", false, 7, 0, RetryText(7), kCtapErrPinNotSet},
        {"no PIN, no retries", false, 0, 0, QString::fromUtf8(pin_text::kLocked),
         kCtapErrPinNotSet},
    };
    StartKey(kCtapModel, "1234");
    const vkey::State withPin = key->SnapshotState();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Replug();
        key->EditState([&](vkey::State& state) {
            state = withPin;
            if (!c.pinSet) {
                state.pinHash.reset();
            }
            state.pinRetries = c.retriesOnKey;
        });
        for (int i = 0; i < c.priorFailures; ++i) {
            ASSERT_FALSE(KeyAccepts("9999"));
        }
        QString shown;
        int result = 0;
        const DialogRun run = Verify(QStringLiteral("0000"), &shown, &result);
        EXPECT_EQ(shown, c.expected);
        EXPECT_EQ(result, c.status);
        EXPECT_EQ(run.modalResult, PinDialogTest::kLeftOpen);
        EXPECT_TRUE(run.boxes.empty());
        EXPECT_TRUE(keyState.pinToken.Empty());
    }
}

TEST_F(VerifyPinTest, ARetryCountTheKeyDidNotTellIsNotALock) {
    StartKey(kCtapModel);  // no PIN: refused with 0x35, then asked for the count
    key->InjectFaultAt(2, vkey::Fault::kMalformedNextResponse);  // the getRetries answer
    QString shown;
    Verify(QStringLiteral("0000"), &shown);
    EXPECT_EQ(shown, QString::fromUtf8(pin_text::kVerifyFailed));
}

TEST_F(VerifyPinTest, FourthCharacterClearsTheStatusAndFocusSelectsAll) {
    StartKey(kCtapModel, "1234");
    CPINVerifyWnd dialog(device, pacer);
    const DialogRun run = Run(dialog, [&](UiDriver& ui) {
        ui.Type(kEdit, QStringLiteral("12"));
        ui.KeyDown(kVkReturn);
        ASSERT_EQ(ui.Text(kStatus), QString::fromUtf8(pin_text::kTooShort));
        ui.Type(kEdit, QStringLiteral("3"));
        EXPECT_FALSE(ui.Text(kStatus).isEmpty()) << "three characters keep the message";
        ui.Type(kEdit, QStringLiteral("4"));
        EXPECT_TRUE(ui.Text(kStatus).isEmpty());

        // Focus coming back selects the whole entry, so typing replaces it.
        ui.Notify(kEdit, QStringLiteral("setfocus"));
        EXPECT_EQ(ui.FindAs<CEditUI>(kEdit)->GetSelectedText(), QStringLiteral("1234"));
        ui.Type(kEdit, QStringLiteral("1234"));
        EXPECT_EQ(ui.Text(kEdit), QStringLiteral("1234"));

        ui.KeyDown(kVkEscape);
        UiDriver::ProcessEvents();
        EXPECT_FALSE(dialog.IsClosed()) << "Escape does nothing";
        ui.KeyDown(kVkReturn);
    });
    EXPECT_EQ(run.modalResult, 1) << "Enter confirms";
    EXPECT_FALSE(keyState.pinToken.Empty());
}

TEST_F(VerifyPinTest, CloseButtonGivesTwo) {
    StartKey(kCtapModel, "1234");
    CPINVerifyWnd dialog(device, pacer);
    EXPECT_EQ(Run(dialog, [](UiDriver& ui) { ui.Click(QStringLiteral("closebtn")); }).modalResult,
              2);
    EXPECT_FALSE(dialog.Watchdog().Running()) << "the watchdog ends with its dialog";
}

TEST_F(VerifyPinTest, LegacyModelGetsNoTokenAndNoMessage) {
    StartKey(kLegacyModel, "1234");
    QString shown = QStringLiteral("unchanged");
    int result = 0;
    const DialogRun run = Verify(QStringLiteral("1234"), &shown, &result);
    EXPECT_TRUE(shown.isEmpty());
    EXPECT_EQ(result, kCtapErrInvalidCbor) << "the key agreement failed";
    EXPECT_EQ(run.modalResult, PinDialogTest::kLeftOpen);
    EXPECT_TRUE(keyState.pinToken.Empty());
}

TEST_F(VerifyPinTest, RemovalClosesButAnotherKeyArrivingDoesNot) {
    StartKey(kCtapModel, "1234");
    CPINVerifyWnd dialog(device, pacer);
    const DialogRun run = Run(dialog, [&](UiDriver&) {
        vkey::Config other;
        other.model = 4;
        otherKey = std::make_unique<vkey::VirtualKey>(other, keyClock);
        backend.AddKey(*otherKey);
        otherKey->Plug();
        UiDriver::ProcessEvents();
        EXPECT_FALSE(dialog.IsClosed());
        key->Unplug();
        EXPECT_TRUE(WaitUntilClosed(dialog));
    });
    EXPECT_EQ(run.modalResult, 0) << "a plain close";
    EXPECT_EQ(dialog.Watchdog().ExitCode(), 0) << "closed by the notification, not the watchdog";
}

TEST_F(VerifyPinTest, WatchdogClosesOnceTheKeyIsAbsent) {
    StartKey(kCtapModel, "1234");
    CPINVerifyWnd dialog(device, pacer);
    const DialogRun run = Run(dialog, [&](UiDriver&) {
        UiDriver::ProcessEvents();
        EXPECT_FALSE(dialog.IsClosed());
        keyState.deviceAbsent = true;
        EXPECT_TRUE(WaitUntilClosed(dialog));
    });
    EXPECT_EQ(run.modalResult, 0);
    EXPECT_EQ(dialog.Watchdog().ExitCode(), kWatchdogClosedWindow);
    ASSERT_FALSE(pacer.Periods().empty());
    EXPECT_EQ(pacer.Periods().front(), CPINVerifyWnd::kWatchdogPeriodMs);
}

}  // namespace
}  // namespace kelvora::test
