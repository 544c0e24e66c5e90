// The set-PIN dialog on a CTAP2 key and on a legacy model: entry checks in order, the PIN
// the key ends up with, the boxes, the token after success, keys, and removal.
#include <QDir>

#include "ctap/status.h"
#include "dialogs/pin/pin_entry.h"
#include "dialogs/pin/set_pin_wnd.h"
#include "pin_dialog_fixture.h"
#include "toolkit/gui_test_environment.h"

namespace kelvora::test {
namespace {

const QString kPin = QStringLiteral("edit_pin");
const QString kPin2 = QStringLiteral("edit_pin2");
const QString kLabel = QStringLiteral("label_pin");
const QString kLabel2 = QStringLiteral("label_pin2");

class SetPinTest : public PinDialogTest, public ::testing::WithParamInterface<int> {
  protected:
    void SetUp() override { StartKey(GetParam()); }

    struct Entered {
        DialogRun run;
        QString label;
        QString label2;
        int result = 0;
    };
    Entered Enter(const QString& pin, const QString& pin2) {
        Entered e;
        CSetPINWnd dialog(device, pacer);
        e.run = Run(dialog, [&](UiDriver& ui) {
            ui.Type(kPin, pin);
            ui.Type(kPin2, pin2);
            ui.Click(QStringLiteral("btn_ok"));
            e.label = ui.Text(kLabel);
            e.label2 = ui.Text(kLabel2);
            e.result = dialog.GetResult();
        });
        return e;
    }
    bool KeyHasPin() { return key->SnapshotState().pinSet(); }
    std::uint16_t Success() const { return SuccessStatus(keyState.selectedProductId); }
};

TEST_P(SetPinTest, EntryErrorsGoUnderTheirFieldAndNothingIsSet) {
    const QString ok = QStringLiteral("1234");
    struct Case {
        QString pin, pin2;
        const char* label;
        const char* label2;
    };
    const Case cases[] = {
        {QString(), QString(), pin_text::kEnterPin, ""},
        {QStringLiteral("123"), ok, pin_text::kTooShort, ""},
        {Repeat('1', 64), Repeat('1', 64), pin_text::kTooLong, ""},
        {ok, QString(), "", pin_text::kEnterPin},
        {ok, QStringLiteral("123"), "", pin_text::kTooShort},
        {ok, Repeat('1', 64), "", pin_text::kTooLong},
        {RefusedByFamily(), RefusedByFamily(), RefusedByFamilyText(), ""},
        {ok, QStringLiteral("1235"), "", pin_text::kMismatch},
        {QStringLiteral("12345"), ok, "", pin_text::kMismatch},
    };
    for (const Case& c : cases) {
        const Entered e = Enter(c.pin, c.pin2);
        EXPECT_EQ(e.label, QString::fromUtf8(c.label)) << c.pin.size() << "/" << c.pin2.size();
        EXPECT_EQ(e.label2, QString::fromUtf8(c.label2)) << c.pin.size() << "/" << c.pin2.size();
        EXPECT_EQ(e.result, kStatusEntryError);
        EXPECT_TRUE(e.run.boxes.empty());
        EXPECT_EQ(e.run.modalResult, kLeftOpen);
    }
    EXPECT_FALSE(KeyHasPin());
}

TEST_P(SetPinTest, MatchingEntriesSetThePinThenTheTokenIsFetched) {
    const QString pin = Repeat('5', 63);
    const Entered e = Enter(pin, pin);
    EXPECT_EQ(e.run.modalResult, 1);
    EXPECT_EQ(e.result, Success());
    ASSERT_EQ(e.run.boxes.size(), 1u);
    EXPECT_EQ(e.run.boxes[0].text, QString::fromUtf8(pin_text::kSetSucceeded));
    EXPECT_EQ(e.run.boxes[0].icon, QStringLiteral("logo_32.png"));
    EXPECT_FALSE(e.run.boxes[0].tokenWhenShown) << "the box comes before the token";
    EXPECT_EQ(keyState.pinToken.Empty(), Legacy()) << "a token on CTAP2 keys only";
    EXPECT_TRUE(KeyAccepts(pin.toStdString()));
    EXPECT_FALSE(KeyAccepts("0000"));
}

TEST_P(SetPinTest, RefusalShowsTheErrorBoxAndStaysOpen) {
    ASSERT_EQ(Enter(QStringLiteral("1234"), QStringLiteral("1234")).run.modalResult, 1);
    const Entered again = Enter(QStringLiteral("5678"), QStringLiteral("5678"));
    EXPECT_EQ(again.run.modalResult, kLeftOpen);
    EXPECT_NE(again.result, Success());
    ASSERT_EQ(again.run.boxes.size(), 1u);
    EXPECT_EQ(again.run.boxes[0].text, QString::fromUtf8(pin_text::kSetFailed));
    EXPECT_EQ(again.run.boxes[0].icon, QStringLiteral("Png_Msg_error.png"));
    EXPECT_TRUE(KeyAccepts("1234"));
}

TEST_P(SetPinTest, EditsClearMessagesEnterConfirmsEscapeDoesNothing) {
    CSetPINWnd dialog(device, pacer);
    const DialogRun run = Run(dialog, [&](UiDriver& ui) {
        ui.Type(kPin, QStringLiteral("1234"));
        ui.Type(kPin2, QStringLiteral("1235"));
        ui.KeyDown(kVkReturn);
        ASSERT_EQ(ui.Text(kLabel2), QString::fromUtf8(pin_text::kMismatch));
        ui.SaveScreenshot(QDir(ScreenshotFolder()).filePath(QStringLiteral("SetPIN.png")));
        // Any edit that leaves the entries different clears the mismatch.
        ui.Type(kPin, QStringLiteral("9"));
        EXPECT_TRUE(ui.Text(kLabel2).isEmpty());

        ui.Notify(kPin, QStringLiteral("setfocus"));  // selects all: typing replaces
        ui.Type(kPin, QStringLiteral("12"));
        ui.KeyDown(kVkReturn);
        ASSERT_EQ(ui.Text(kLabel), QString::fromUtf8(pin_text::kTooShort));
        ui.Type(kPin, QStringLiteral("3"));
        EXPECT_FALSE(ui.Text(kLabel).isEmpty()) << "three characters keep the message";
        ui.Type(kPin, QStringLiteral("5"));
        EXPECT_TRUE(ui.Text(kLabel).isEmpty());

        ui.KeyDown(kVkEscape);
        UiDriver::ProcessEvents();
        EXPECT_FALSE(dialog.IsClosed());
        ui.KeyDown(kVkReturn);
    });
    EXPECT_EQ(run.modalResult, 1);
    EXPECT_TRUE(KeyAccepts("1235"));
}

TEST_P(SetPinTest, CloseButtonGivesTwoAndTheFieldsKeepNoPin) {
    CSetPINWnd dialog(device, pacer);
    QString typed;
    EXPECT_EQ(Run(dialog,
                  [&](UiDriver& ui) {
                      ui.Type(kPin, QStringLiteral("1234"));
                      ui.Type(kPin2, QStringLiteral("1234"));
                      typed = ui.Text(kPin);  // shares the field's characters
                      ui.Click(QStringLiteral("closebtn"));
                  })
                  .modalResult,
              2);
    EXPECT_EQ(dialog.GetResult(), 2);
    EXPECT_FALSE(dialog.Watchdog().Running());
    EXPECT_EQ(typed, QString(4, QChar())) << "the characters were overwritten in place";
    for (const QString& name : {kPin, kPin2}) {
        EXPECT_TRUE(UiDriver(dialog).Text(name).isEmpty()) << name.toStdString();
    }
}

TEST_P(SetPinTest, RemovalAndAbsenceClose) {
    for (const bool byNotification : {true, false}) {
        CSetPINWnd dialog(device, pacer);
        const DialogRun run = Run(dialog, [&](UiDriver&) {
            if (byNotification) {
                key->Unplug();
            } else {
                keyState.deviceAbsent = true;
            }
            EXPECT_TRUE(WaitUntilClosed(dialog));
        });
        EXPECT_EQ(run.modalResult, 0);
        EXPECT_EQ(dialog.Watchdog().ExitCode(), byNotification ? 0 : kWatchdogClosedWindow);
        keyState.deviceAbsent = false;
        Replug();
    }
    ASSERT_FALSE(pacer.Periods().empty());
    EXPECT_EQ(pacer.Periods().front(), CSetPINWnd::kWatchdogPeriodMs);
}

INSTANTIATE_TEST_SUITE_P(Models, SetPinTest, ::testing::Values(kCtapModel, kLegacyModel),
                         [](const auto& info) {
                             return std::string(info.param == kLegacyModel ? "Legacy" : "Ctap2");
                         });

// A CTAP2 key whose token cannot be fetched right after the PIN was set: the dialog stays
// open, and confirming again fetches the token without sending the PIN a second time.
TEST_F(PinDialogTest, SetPinRetriesOnlyTheTokenOnceTheKeyTookThePin) {
    StartKey(kCtapModel);
    onBox = [&](const ShownBox&) { key->InjectFault(vkey::Fault::kMalformedNextResponse); };
    CSetPINWnd dialog(device, pacer);
    const DialogRun run = Run(dialog, [&](UiDriver& ui) {
        ui.Type(kPin, QStringLiteral("2468"));
        ui.Type(kPin2, QStringLiteral("2468"));
        ui.Click(QStringLiteral("btn_ok"));
        UiDriver::ProcessEvents();
        ASSERT_FALSE(dialog.IsClosed());
        EXPECT_EQ(dialog.GetResult(), kCtapErrInvalidCbor);
        EXPECT_TRUE(keyState.pinToken.Empty());
        onBox = nullptr;
        ui.Click(QStringLiteral("btn_ok"));
    });
    EXPECT_EQ(run.modalResult, 1);
    ASSERT_EQ(run.boxes.size(), 1u) << "no failure box from a second setPIN";
    EXPECT_FALSE(keyState.pinToken.Empty());
    EXPECT_TRUE(KeyAccepts("2468"));
}

}  // namespace
}  // namespace kelvora::test
