// The verification dialog: verdicts on CTAP2 keys and a legacy model, the closes it accepts
// and refuses, and a close without a verdict.
#include <QDir>

#include "ctap/verification_test.h"
#include "dialogs/fingerprint/verify_wnd.h"
#include "fp_dialog_fixture.h"
#include "toolkit/gui_test_environment.h"

namespace kelvora::test {
namespace {

constexpr int kEnrolledFinger = 1;
constexpr int kOtherFinger = 2;

class VerifyTest : public FpDialogTest {
  protected:
    // Runs the dialog with `finger` on the sensor, and reads the verdict while the worker
    // keeps it up. The finger is there before the window opens: the worker's clock runs many
    // times faster than real time, so on a busy machine a finger laid on by the script could
    // come after the legacy poll's limit and read as a finger that never matched.
    WindowRun Verify(CFPVerifyWnd& dialog, int finger, QString* image, QString* text) {
        workerClock.HoldPausesOf(kVerdictDisplayMs);
        key->PlaceFinger(finger);
        return Run(dialog, [&](UiDriver& ui) {
            ASSERT_TRUE(
                KELVORA_WAIT_FOR_UI(ui.Image(kImage) != QStringLiteral("Rec_Finger_Add.png")));
            *image = ui.Image(kImage);
            *text = ui.Text(kText);
            if (text->contains(QString::fromUtf8("残り2回"))) {
                ui.SaveScreenshot(QDir(ScreenshotFolder()).filePath("verify_verdict.png"));
            }
            workerClock.Release();
            EXPECT_TRUE(WaitUntilClosed(dialog));
        });
    }
};

TEST_F(VerifyTest, VerdictsOnEveryKind) {
    struct Case {
        const char* name;
        int model;
        std::uint8_t firmware;
        int finger;
        int retriesBefore;
        const char* image;
        const char* text;
        std::uint32_t result;
    };
    const Case cases[] = {
        {"match", kCtapModel, kStandardFirmware, kEnrolledFinger, 5, "Pass.png",
         "検証に成功しました。", 0},
        {"match, vendor command set", kCtapModel, kVendorFirmware, kEnrolledFinger, 5, "Pass.png",
         "検証に成功しました。", 0},
        {"match, own subcommands", kOwnBioModel, kStandardFirmware, kEnrolledFinger, 5, "Pass.png",
         "検証に成功しました。", 0},
        // The retry query of the models with their own subcommands.
        {"mismatch, two left", kOwnBioModel, kStandardFirmware, kOtherFinger, 3, "Fail.png",
         "指紋認証に失敗しました。（リトライ回数：残り2回）", 0x28},
        {"mismatch, none left", kOwnBioModel, kStandardFirmware, kOtherFinger, 1, "Fail.png",
         "デバイスはロックされました。", 0x28},
        {"legacy match", kLegacyModel, kStandardFirmware, kEnrolledFinger, 5, "Pass.png",
         "検証に成功しました。", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StartKey(c.model, c.firmware);
        Enrol(1, kEnrolledFinger);
        key->EditState([&](vkey::State& state) { state.fingerprintRetries = c.retriesBefore; });
        CFPVerifyWnd dialog(device, QString::fromUtf8("指紋検証"), Services());
        QString image;
        QString text;
        const WindowRun run = Verify(dialog, c.finger, &image, &text);
        EXPECT_TRUE(run.closedByScript);
        EXPECT_EQ(image, QString::fromUtf8(c.image));
        EXPECT_EQ(text, QString::fromUtf8(c.text));
        EXPECT_EQ(dialog.GetResult(), c.result);
        EXPECT_EQ(run.modalResult, Legacy() ? kLegacyVerifyCloseCode : kCtapVerifyCloseCode);
        key->LiftFinger();
    }
}

TEST_F(VerifyTest, CaptionAndSystemCloseOnCtapKey) {
    StartKey(kCtapModel);
    Enrol(1, kEnrolledFinger);
    CFPVerifyWnd dialog(device, QString::fromUtf8("指紋認証"), Services());
    const WindowRun run = Run(dialog, [&](UiDriver& ui) {
        EXPECT_EQ(ui.Text(QStringLiteral("label_test")), QString::fromUtf8("指紋認証"));
        EXPECT_FALSE(ui.Click(QStringLiteral("closebtn"))) << "no close button";
        // Alt+F4 and the keys do nothing while the key waits for the finger.
        SendWindowMessage(dialog.GetHWND(), kWmClose, 0, 0);
        ui.KeyDown(kVkEscape);
        ui.KeyDown(kVkReturn);
        UiDriver::ProcessEvents();
        EXPECT_FALSE(dialog.IsClosed());
        key->PlaceFinger(kEnrolledFinger);
        EXPECT_TRUE(WaitUntilClosed(dialog));
    });
    EXPECT_EQ(dialog.GetResult(), 0u);
    EXPECT_EQ(run.modalResult, kCtapVerifyCloseCode);
}

TEST_F(VerifyTest, LegacyNoMatchWithinTheLimit) {
    StartKey(kLegacyModel);
    Enrol(1, kEnrolledFinger);
    workerClock.HoldPausesOf(kVerdictDisplayMs);
    CFPVerifyWnd dialog(device, QString::fromUtf8("指紋検証"), Services());
    const WindowRun run = Run(dialog, [&](UiDriver& ui) {
        // Nobody touches the sensor: the worker's clock runs past the limit without real waiting.
        ASSERT_TRUE(KELVORA_WAIT_FOR_UI(ui.Image(kImage) == QStringLiteral("Fail.png")));
        EXPECT_EQ(ui.Text(kText), QString::fromUtf8("もう一度やり直してください。"));
        workerClock.Release();
        EXPECT_TRUE(WaitUntilClosed(dialog));
    });
    EXPECT_EQ(run.modalResult, kLegacyVerifyCloseCode);
    EXPECT_EQ(dialog.GetResult(), 0x6A80u);
}

TEST_F(VerifyTest, LegacySystemCloseCancelsThePoll) {
    StartKey(kLegacyModel);
    Enrol(1, kEnrolledFinger);
    CFPVerifyWnd dialog(device, QString::fromUtf8("指紋検証"), Services());
    const WindowRun run = Run(dialog, [&](UiDriver&) {
        SendWindowMessage(dialog.GetHWND(), kWmClose, 0, 0);
        EXPECT_TRUE(WaitUntilClosed(dialog));
    });
    EXPECT_EQ(run.modalResult, 0);
    EXPECT_NE(dialog.GetResult(), 0u);
    EXPECT_FALSE(dialog.WorkerRunning());
}

TEST_F(VerifyTest, RemovalWithoutVerdictIsNotRecognised) {
    for (const int model : {kCtapModel, kLegacyModel}) {
        SCOPED_TRACE(model);
        StartKey(model);
        Enrol(1, kEnrolledFinger);
        CFPVerifyWnd dialog(device, QString::fromUtf8("指紋検証"), Services());
        const WindowRun run = Run(dialog, [&](UiDriver&) {
            RemoveKey();
            EXPECT_TRUE(WaitUntilClosed(dialog));
        });
        EXPECT_TRUE(run.closedByScript);
        EXPECT_NE(dialog.GetResult(), 0u);
    }
}

}  // namespace
}  // namespace kelvora::test
