// The reset dialog: outcomes on each kind of key, inside and outside the key's window after
// plugging in, and a removal during the exchange.
#include <QDir>
#include <QWidget>
#include <algorithm>

#include "ctap/reset.h"
#include "dialogs/fingerprint/reset_wnd.h"
#include "fp_dialog_fixture.h"
#include "toolkit/gui_test_environment.h"

namespace kelvora::test {
namespace {

class ResetTest : public FpDialogTest {};

bool SawRequest(const vkey::State& state, std::initializer_list<std::uint8_t> bytes) {
    return std::any_of(state.history.begin(), state.history.end(), [&](const auto& entry) {
        return std::search(entry.request.begin(), entry.request.end(), bytes.begin(),
                           bytes.end()) != entry.request.end();
    });
}

TEST_F(ResetTest, OutcomeOnEveryKind) {
    struct Case {
        const char* name;
        int model;
        std::uint8_t firmware;
        std::int64_t sincePlugMs;  // time on the key between plugging in and the reset
        std::initializer_list<std::uint8_t> request;
        bool success;
    };
    const Case cases[] = {
        {"CTAP2 key in time", kCtapModel, kStandardFirmware, 0, {0x07}, true},
        {"vendor command set", kCtapModel, kVendorFirmware, 0, {0x47}, true},
        {"too long after plugging in", kCtapModel, kStandardFirmware, 20000, {0x07}, false},
        {"legacy model", kLegacyModel, kStandardFirmware, 0, {0x80, 0xE3, 0x03, 0x00}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StartKey(c.model, c.firmware);
        Enrol(1, 1);
        keyClock.Advance(c.sincePlugMs);
        workerClock.HoldPausesOf(kResetOutcomeShownMs);
        CResetWnd dialog(device, workerClock);
        const WindowRun run = Run(dialog, [&](UiDriver& ui) {
            ui.KeyDown(kVkEscape);
            ui.KeyDown(kVkReturn);
            key->PlaceFinger(1);  // the touch a CTAP2 key asks for
            ASSERT_TRUE(
                KELVORA_WAIT_FOR_UI(ui.Image(kImage) != QStringLiteral("Rec_Finger_Add.png")));
            EXPECT_EQ(ui.Image(kImage),
                      c.success ? QStringLiteral("Pass.png") : QStringLiteral("Fail.png"));
            EXPECT_EQ(ui.Text(kText),
                      QString::fromUtf8(c.success ? "リセット完了"
                                                  : "デバイスのリセットに失敗しました。"));
            if (c.success && c.model == kCtapModel) {
                ui.SaveScreenshot(QDir(ScreenshotFolder()).filePath("reset_done.png"));
            }
            EXPECT_FALSE(dialog.IsClosed()) << "the outcome stays up for the pause";
            workerClock.Release();
            EXPECT_TRUE(WaitUntilClosed(dialog));
        });
        EXPECT_EQ(run.modalResult, kResetClosedAfterOutcome);
        const vkey::State state = key->SnapshotState();
        EXPECT_TRUE(SawRequest(state, c.request));
        EXPECT_EQ(state.templates.empty(), c.success);
        EXPECT_EQ((dialog.GetResult() & 0xFFFF) == (Legacy() ? 0x9000u : 0u), c.success);
        key->LiftFinger();
    }
}

TEST_F(ResetTest, SystemCloseIsRefusedWhileTheKeyWaits) {
    StartKey(kCtapModel);
    Enrol(1, 1);
    workerClock.HoldPausesOf(kResetOutcomeShownMs);
    CResetWnd dialog(device, workerClock);
    const WindowRun run = Run(dialog, [&](UiDriver& ui) {
        ASSERT_TRUE(KELVORA_WAIT_FOR_UI(key->waitingForUser()));
        dialog.GetWidget()->close();
        UiDriver::ProcessEvents();
        EXPECT_FALSE(dialog.IsClosed());
        key->PlaceFinger(1);
        ASSERT_TRUE(KELVORA_WAIT_FOR_UI(ui.Image(kImage) == QStringLiteral("Pass.png")));
        workerClock.Release();
        EXPECT_TRUE(WaitUntilClosed(dialog));
    });
    EXPECT_EQ(run.modalResult, kResetClosedAfterOutcome);
    EXPECT_EQ(dialog.GetResult() & 0xFFFF, 0u);
}

TEST_F(ResetTest, RemovalDuringTheExchangeIsNoReset) {
    StartKey(kCtapModel);
    CResetWnd dialog(device, workerClock);
    const WindowRun run = Run(dialog, [&](UiDriver& ui) {
        ASSERT_TRUE(KELVORA_WAIT_FOR_UI(key->waitingForUser()));
        EXPECT_EQ(ui.Text(kText), QString::fromUtf8("指紋センサーをタッチしてください。"));
        RemoveKey();
        EXPECT_TRUE(WaitUntilClosed(dialog));
    });
    EXPECT_TRUE(run.closedByScript);
    EXPECT_EQ(run.modalResult, kResetClosedWithoutOutcome);
    EXPECT_NE(dialog.GetResult() & 0xFFFF, 0u) << "not the success value";
}

}  // namespace
}  // namespace kelvora::test
