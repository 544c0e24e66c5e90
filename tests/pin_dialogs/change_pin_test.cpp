// The change-PIN dialog on a CTAP2 key and on a legacy model: the order of the entry checks,
// the key's refusals under the current-PIN field, the PIN the key ends up with, keys, and
// the watchdog.
#include <QDir>

#include "ctap/status.h"
#include "dialogs/pin/change_pin_wnd.h"
#include "dialogs/pin/pin_entry.h"
#include "pin_dialog_fixture.h"
#include "toolkit/gui_test_environment.h"

namespace kelvora::test {
namespace {

const QString kOld = QStringLiteral("edit_pin_old");
const QString kNew = QStringLiteral("edit_pin_new");
const QString kNew2 = QStringLiteral("edit_pin_new2");
const QString kOldLabel = QStringLiteral("label_old_pin");
const QString kNewLabel = QStringLiteral("label_new_pin");
const QString kNew2Label = QStringLiteral("label_new_pin2");

struct Labels {
    QString old, fresh, fresh2;
    friend bool operator==(const Labels&, const Labels&) = default;
};
void PrintTo(const Labels& l, std::ostream* os) {
    *os << "[" << l.old.toStdString() << "|" << l.fresh.toStdString() << "|"
        << l.fresh2.toStdString() << "]";
}
Labels Messages(const char* old, const char* fresh, const char* fresh2) {
    return {QString::fromUtf8(old), QString::fromUtf8(fresh), QString::fromUtf8(fresh2)};
}

class ChangePinTest : public PinDialogTest, public ::testing::WithParamInterface<int> {
  protected:
    void SetUp() override { StartKey(GetParam(), "1234"); }

    struct Entered {
        DialogRun run;
        Labels labels;
        int result = 0;
    };
    Entered Enter(const QString& old, const QString& fresh, const QString& fresh2,
                  const QString& screenshot = {}) {
        Entered e;
        CChangePINWnd dialog(device, pacer);
        e.run = Run(dialog, [&](UiDriver& ui) {
            ui.Type(kOld, old);
            ui.Type(kNew, fresh);
            ui.Type(kNew2, fresh2);
            ui.Click(QStringLiteral("btn_ok"));
            e.labels = {ui.Text(kOldLabel), ui.Text(kNewLabel), ui.Text(kNew2Label)};
            e.result = dialog.GetResult();
            if (!screenshot.isEmpty()) {
                ui.SaveScreenshot(QDir(ScreenshotFolder()).filePath(screenshot));
            }
        });
        return e;
    }
};

TEST_P(ChangePinTest, EntriesAreCheckedFieldByFieldInOrder) {
    const QString ok = QStringLiteral("5678");
    const QString bad = QStringLiteral("12");
    struct Case {
        QString old, fresh, fresh2;
        Labels expected;
    };
    const Case cases[] = {
        {QString(), QString(), QString(), Messages(pin_text::kEnterPin, "", "")},
        {QStringLiteral("123"), bad, bad, Messages(pin_text::kTooShort, "", "")},
        {Repeat('1', 64), ok, ok, Messages(pin_text::kTooLong, "", "")},
        {ok, QString(), bad, Messages("", pin_text::kEnterPin, "")},
        {ok, bad, QString(), Messages("", pin_text::kTooShort, "")},
        {ok, Repeat('1', 64), ok, Messages("", pin_text::kTooLong, "")},
        {ok, ok, QString(), Messages("", "", pin_text::kEnterPin)},
        {ok, ok, bad, Messages("", "", pin_text::kTooShort)},
        {ok, ok, Repeat('1', 64), Messages("", "", pin_text::kTooLong)},
        {RefusedByFamily(), ok, ok, Messages(RefusedByFamilyText(), "", "")},
        {ok, RefusedByFamily(), RefusedByFamily(), Messages("", RefusedByFamilyText(), "")},
        {ok, ok, QStringLiteral("5679"), Messages("", "", pin_text::kMismatch)},
    };
    for (const Case& c : cases) {
        const Entered e = Enter(c.old, c.fresh, c.fresh2);
        EXPECT_EQ(e.labels, c.expected)
            << c.old.size() << "/" << c.fresh.size() << "/" << c.fresh2.size();
        EXPECT_EQ(e.result, kStatusEntryError);
        EXPECT_EQ(e.run.modalResult, kLeftOpen);
    }
    EXPECT_EQ(KeyRetries(), 8) << "nothing reached the key";
}

TEST_P(ChangePinTest, TheKeyTakesTheNewPin) {
    const QString fresh = QString::fromUtf8("新しいPIN");
    const Entered e = Enter(QStringLiteral("1234"), fresh, fresh);
    EXPECT_EQ(e.run.modalResult, 1);
    ASSERT_EQ(e.run.boxes.size(), 1u);
    EXPECT_EQ(e.run.boxes[0].text, QString::fromUtf8(pin_text::kChangeSucceeded));
    EXPECT_EQ(e.run.boxes[0].icon, QStringLiteral("logo_32.png"));
    EXPECT_FALSE(e.run.boxes[0].tokenWhenShown);
    EXPECT_EQ(keyState.pinToken.Empty(), Legacy());
    EXPECT_TRUE(KeyAccepts(fresh.toStdString()));
    EXPECT_FALSE(KeyAccepts("1234"));
}

TEST_P(ChangePinTest, WrongCurrentPinShowsTheRetriesLeft) {
    const Entered e = Enter(QStringLiteral("0000"), QStringLiteral("5678"), QStringLiteral("5678"),
                            QStringLiteral("ChangePIN.png"));
    EXPECT_EQ(e.labels, (Labels{RetryText(7), QString(), QString()}));
    EXPECT_EQ(e.result, Legacy() ? kSwPinRetriesBase + 7 : kCtapErrPinInvalid);
    EXPECT_TRUE(e.run.boxes.empty());
    EXPECT_EQ(e.run.modalResult, kLeftOpen);
    EXPECT_TRUE(KeyAccepts("1234"));
}

TEST_P(ChangePinTest, BlockedPinSaysLocked) {
    const int retries = Legacy() ? 1 : 0;
    key->EditState([&](vkey::State& state) { state.pinRetries = retries; });
    const Entered e = Enter(QStringLiteral("0000"), QStringLiteral("5678"), QStringLiteral("5678"));
    EXPECT_EQ(e.labels.old, QString::fromUtf8(pin_text::kLocked));
    EXPECT_EQ(e.run.modalResult, kLeftOpen);
}

TEST_P(ChangePinTest, EditsClearMessagesEnterConfirmsEscapeDoesNothing) {
    CChangePINWnd dialog(device, pacer);
    const DialogRun run = Run(dialog, [&](UiDriver& ui) {
        ui.KeyDown(kVkReturn);
        ASSERT_EQ(ui.Text(kOldLabel), QString::fromUtf8(pin_text::kEnterPin));
        ui.Type(kOld, QStringLiteral("1"));
        EXPECT_TRUE(ui.Text(kOldLabel).isEmpty()) << "any edit of the current PIN clears it";
        ui.Type(kOld, QStringLiteral("234"));

        ui.Type(kNew, QStringLiteral("5678"));
        ui.Type(kNew2, QStringLiteral("567"));
        ui.KeyDown(kVkReturn);
        ASSERT_EQ(ui.Text(kNew2Label), QString::fromUtf8(pin_text::kTooShort));
        ui.Type(kNew2, QStringLiteral("5"));  // focus selects all: now "5"
        EXPECT_FALSE(ui.Text(kNew2Label).isEmpty());
        ui.Type(kNew2, QStringLiteral("678"));
        EXPECT_TRUE(ui.Text(kNew2Label).isEmpty());

        ui.KeyDown(kVkEscape);
        UiDriver::ProcessEvents();
        EXPECT_FALSE(dialog.IsClosed());
        ui.KeyDown(kVkReturn);
    });
    EXPECT_EQ(run.modalResult, 1) << "Enter confirms";
    EXPECT_TRUE(KeyAccepts("5678"));
}

TEST_P(ChangePinTest, BothCloseButtonsGiveTwo) {
    for (const int index : {0, 1}) {
        CChangePINWnd dialog(device, pacer);
        EXPECT_EQ(Run(dialog, [&](UiDriver& ui) { ui.Click(QStringLiteral("closebtn"), index); })
                      .modalResult,
                  2);
        EXPECT_FALSE(dialog.Watchdog().Running());
    }
}

TEST_P(ChangePinTest, OnlyTheWatchdogClosesWhenTheKeyGoes) {
    CChangePINWnd dialog(device, pacer);
    const DialogRun run = Run(dialog, [&](UiDriver&) {
        key->Unplug();
        UiDriver::ProcessEvents();
        EXPECT_FALSE(dialog.IsClosed()) << "no device notifications of its own";
        keyState.deviceAbsent = true;  // what the main window does on removal
        EXPECT_TRUE(WaitUntilClosed(dialog));
    });
    EXPECT_EQ(run.modalResult, 0);
    EXPECT_EQ(dialog.Watchdog().ExitCode(), kWatchdogClosedWindow);
    EXPECT_EQ(pacer.Periods().front(), CChangePINWnd::kWatchdogPeriodMs);
}

INSTANTIATE_TEST_SUITE_P(Models, ChangePinTest, ::testing::Values(kCtapModel, kLegacyModel),
                         [](const auto& info) {
                             return std::string(info.param == kLegacyModel ? "Legacy" : "Ctap2");
                         });

// After the key took the new PIN but the token could not be fetched, confirming again only
// fetches the token: a second changePIN would present the old PIN and cost a retry.
TEST_F(PinDialogTest, ChangePinRetriesOnlyTheTokenOnceTheKeyTookThePin) {
    StartKey(kCtapModel, "1234");
    onBox = [&](const ShownBox&) { key->InjectFault(vkey::Fault::kMalformedNextResponse); };
    CChangePINWnd dialog(device, pacer);
    const DialogRun run = Run(dialog, [&](UiDriver& ui) {
        ui.Type(kOld, QStringLiteral("1234"));
        ui.Type(kNew, QStringLiteral("5678"));
        ui.Type(kNew2, QStringLiteral("5678"));
        ui.Click(QStringLiteral("btn_ok"));
        UiDriver::ProcessEvents();
        ASSERT_FALSE(dialog.IsClosed());
        EXPECT_EQ(dialog.GetResult(), kCtapErrInvalidCbor);
        onBox = nullptr;
        ui.Click(QStringLiteral("btn_ok"));
    });
    EXPECT_EQ(run.modalResult, 1);
    EXPECT_EQ(run.boxes.size(), 1u);
    EXPECT_FALSE(keyState.pinToken.Empty());
    EXPECT_EQ(KeyRetries(), 8) << "no wrong PIN was presented";
    EXPECT_TRUE(KeyAccepts("5678"));
}

// Legacy answers that say nothing about the PIN are not shown as a retry count or a lock.
TEST_F(PinDialogTest, LegacyChangeFailureOtherThanThePinIsNotShownAsALock) {
    StartKey(kLegacyModel, "1234");
    CChangePINWnd dialog(device, pacer);
    const DialogRun run = Run(dialog, [&](UiDriver& ui) {
        ui.Type(kOld, QStringLiteral("1234"));
        ui.Type(kNew, QStringLiteral("5678"));
        ui.Type(kNew2, QStringLiteral("5678"));
        key->Unplug();  // the exchange fails at the transport
        ui.Click(QStringLiteral("btn_ok"));
        EXPECT_EQ(ui.Text(kOldLabel), QString::fromUtf8(pin_text::kChangeFailed));
        EXPECT_EQ(dialog.GetResult(), kSwTransportFailure);
    });
    EXPECT_EQ(run.modalResult, kLeftOpen);
}

}  // namespace
}  // namespace kelvora::test
