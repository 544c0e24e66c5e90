// The enrollment dialog on CTAP2 keys of each command set and on a legacy model: progress
// to "Pass.png", the cancel, and the ways it ends without a result.
#include <QDir>
#include <QWidget>
#include <algorithm>

#include "ctap/bio_status.h"
#include "dialogs/fingerprint/enroll_wnd.h"
#include "fp_dialog_fixture.h"
#include "toolkit/gui_test_environment.h"

namespace kelvora::test {
namespace {

const QString kHint = QStringLiteral("text_2");
constexpr int kFinger = 7;
constexpr int kLegacySlot = 3;

QString Finger(int n) {
    return QStringLiteral("Rec_Finger_%1.png").arg(n);
}

bool IsCancelRequest(const vkey::Bytes& request) {
    const std::uint8_t cancel[] = {0x02, 0x03};  // subCommand: cancelCurrentEnrollment
    return !request.empty() && (request.front() == 0x40 || request.front() == 0x50) &&
           std::search(request.begin(), request.end(), std::begin(cancel), std::end(cancel)) !=
               request.end();
}

// A legacy model counts a touch only once it has seen the sensor empty, and its first prompt
// is up before it first looks.
bool SawEmptySensor(const vkey::VirtualKey& key) {
    const vkey::State state = key.SnapshotState();
    return std::any_of(state.history.begin(), state.history.end(),
                       [](const vkey::HistoryEntry& e) { return e.status == kSwNoFingerOnSensor; });
}

class EnrollTest : public FpDialogTest {
  protected:
    // Lays a finger on the sensor and waits until the dialog shows `image`.
    bool Touch(UiDriver& ui, const QString& image) {
        key->LiftFinger();
        key->PlaceFinger(kFinger);
        return KELVORA_WAIT_FOR_UI(ui.Image(kImage) == image);
    }
};

TEST_F(EnrollTest, SamplesLeadToPassOnEveryCtapKind) {
    struct Case {
        const char* name;
        int model;
        std::uint8_t firmware;
    };
    const Case cases[] = {
        {"standard bytes", kCtapModel, kStandardFirmware},
        {"vendor command set", kCtapModel, kVendorFirmware},
        {"own bio subcommands", kOwnBioModel, kStandardFirmware},
        {"seventh model", 7, kStandardFirmware},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StartKey(c.model, c.firmware);
        workerClock.HoldPausesOf(CFPRegistWnd::kDoneShownMs);
        CFPRegistWnd dialog(device, 0, Services());
        const WindowRun run = Run(dialog, [&](UiDriver& ui) {
            EXPECT_EQ(ui.Image(kImage), QStringLiteral("Rec_Finger_Add.png"));
            // Neither key ends the enrollment.
            ui.KeyDown(kVkEscape);
            ui.KeyDown(kVkReturn);
            UiDriver::ProcessEvents();
            ASSERT_FALSE(dialog.IsClosed());

            ASSERT_TRUE(Touch(ui, Finger(1)));
            EXPECT_EQ(ui.Text(kText), QString::fromUtf8("指紋センサーをタッチ（残り3回）"));
            EXPECT_TRUE(ui.Text(kHint).isEmpty());
            ASSERT_TRUE(Touch(ui, Finger(2)));
            if (c.model == kCtapModel && c.firmware == kStandardFirmware) {
                ui.SaveScreenshot(QDir(ScreenshotFolder()).filePath("enroll_progress.png"));
            }
            ASSERT_TRUE(Touch(ui, Finger(3)));
            // The last sample goes straight to the verdict.
            ASSERT_TRUE(Touch(ui, QStringLiteral("Pass.png")));
            EXPECT_EQ(ui.Text(kText), QString::fromUtf8("登録完了"));
            EXPECT_FALSE(dialog.IsClosed()) << "shown until the worker's pause ends";
            workerClock.Release();
            EXPECT_TRUE(WaitUntilClosed(dialog));
        });
        EXPECT_EQ(run.modalResult, CFPRegistWnd::kCloseCode);
        EXPECT_EQ(dialog.GetResult(), 0u);
        EXPECT_FALSE(dialog.WorkerRunning());
        const vkey::State state = key->SnapshotState();
        ASSERT_EQ(state.templates.size(), 1u);
        EXPECT_NE(state.templates.begin()->second.name.find("\x8E\x77\x96\xE4"), std::string::npos)
            << "named with the default name";
    }
}

TEST_F(EnrollTest, KeyAskingForMoreSamplesKeepsTheFirstPicture) {
    StartKey(kCtapModel, kStandardFirmware, 6);
    CFPRegistWnd dialog(device, 0, Services());
    Run(dialog, [&](UiDriver& ui) {
        const char* const texts[] = {"ユーザがタッチしていない", "ユーザがタッチしていない",
                                     "指紋センサーをタッチ（残り3回）"};
        for (const char* text : texts) {
            // One sample per touch: the key must be waiting, and answers the exchange.
            ASSERT_TRUE(KELVORA_WAIT_FOR_UI(key->waitingForUser()));
            const std::size_t answered = key->SnapshotState().history.size();
            key->LiftFinger();
            key->PlaceFinger(kFinger);
            ASSERT_TRUE(KELVORA_WAIT_FOR_UI(key->SnapshotState().history.size() > answered &&
                                            ui.Text(kText) == QString::fromUtf8(text)));
            EXPECT_EQ(ui.Image(kImage), Finger(1));
        }
    });
}

TEST_F(EnrollTest, CancelWaitsForTheExchangeThenTellsTheKey) {
    // The close button, and the system's close (Alt+F4, the window manager), which must not
    // freeze the tool until the key answers.
    for (const bool systemClose : {false, true}) {
        SCOPED_TRACE(systemClose ? "system close" : "close button");
        StartKey(kCtapModel);
        CFPRegistWnd dialog(device, 0, Services());
        const WindowRun run = Run(dialog, [&](UiDriver& ui) {
            ASSERT_TRUE(Touch(ui, Finger(1)));
            if (systemClose) {
                dialog.GetWidget()->close();
            } else {
                ASSERT_TRUE(ui.Click(QStringLiteral("closebtn")));
            }
            EXPECT_EQ(ui.Text(kText), QStringLiteral("Cancel..."));
            EXPECT_FALSE(ui.Click(QStringLiteral("closebtn"))) << "disabled by the first cancel";
            dialog.GetWidget()->close();
            UiDriver::ProcessEvents();
            EXPECT_FALSE(dialog.IsClosed()) << "the key still waits for the next sample";
            // The key's sample time-out ends the exchange in flight, once the key is in it.
            ASSERT_TRUE(KELVORA_WAIT_FOR_UI(key->waitingForUser()));
            keyClock.Advance(6000);
            EXPECT_TRUE(WaitUntilClosed(dialog));
        });
        EXPECT_TRUE(run.closedByScript);
        EXPECT_EQ(run.modalResult, CFPRegistWnd::kCloseCode);
        EXPECT_EQ(dialog.GetResult(), CFPRegistWnd::kNoEnrollResult);
        const vkey::State state = key->SnapshotState();
        EXPECT_TRUE(
            std::any_of(state.history.begin(), state.history.end(),
                        [](const vkey::HistoryEntry& e) { return IsCancelRequest(e.request); }));
        EXPECT_TRUE(state.templates.empty());
    }
}

TEST_F(EnrollTest, LegacyModelCountsLiftedTouches) {
    StartKey(kLegacyModel);
    workerClock.HoldPausesOf(CFPRegistWnd::kDoneShownMs);
    CFPRegistWnd dialog(device, kLegacySlot, Services());
    const WindowRun run = Run(dialog, [&](UiDriver& ui) {
        ASSERT_TRUE(KELVORA_WAIT_FOR_UI(
            ui.Text(kText) == QString::fromUtf8("指紋センサーをタッチ") && SawEmptySensor(*key)));
        ASSERT_TRUE(Touch(ui, Finger(1)));
        // The finger stays: the sensor's complaint until it is lifted.
        ASSERT_TRUE(KELVORA_WAIT_FOR_UI(
            ui.Text(kText) == QString::fromUtf8("ユーザーがセンサーから指を離しませんでした。")));
        key->LiftFinger();
        ASSERT_TRUE(KELVORA_WAIT_FOR_UI(ui.Text(kText) ==
                                        QString::fromUtf8("指紋センサーをタッチ（残り3回）")));
        const char* const prompts[] = {"指紋センサーをタッチ（残り2回）",
                                       "指紋センサーをタッチ（残り1回）"};
        for (int n = 2; n <= 3; ++n) {
            key->PlaceFinger(kFinger);
            ASSERT_TRUE(KELVORA_WAIT_FOR_UI(ui.Image(kImage) == Finger(n)));
            key->LiftFinger();
            // The worker must see the sensor empty before the next touch counts.
            ASSERT_TRUE(KELVORA_WAIT_FOR_UI(ui.Text(kText) == QString::fromUtf8(prompts[n - 2])));
        }
        // The fourth sample is followed at once by the final step.
        key->PlaceFinger(kFinger);
        ASSERT_TRUE(KELVORA_WAIT_FOR_UI(ui.Image(kImage) == QStringLiteral("Pass.png")));
        workerClock.Release();
        EXPECT_TRUE(WaitUntilClosed(dialog));
    });
    EXPECT_EQ(run.modalResult, CFPRegistWnd::kCloseCode);
    EXPECT_EQ(dialog.GetResult(), 0x9000u);
    EXPECT_EQ(key->SnapshotState().templates.count(kLegacySlot), 1u);
}

TEST_F(EnrollTest, EndingWithoutAResultNeverReadsAsSuccess) {
    struct Case {
        const char* name;
        int model;
        bool suspend;  // the system goes to sleep instead of the key going away
    };
    const Case cases[] = {
        {"CTAP2 key removed", kCtapModel, false},
        {"legacy model removed", kLegacyModel, false},
        {"legacy model, suspend", kLegacyModel, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StartKey(c.model);
        CFPRegistWnd dialog(device, kLegacySlot, Services());
        const WindowRun run = Run(dialog, [&](UiDriver& ui) {
            if (Legacy()) {
                ASSERT_TRUE(KELVORA_WAIT_FOR_UI(SawEmptySensor(*key)));
            }
            ASSERT_TRUE(Touch(ui, Finger(1)));
            if (c.suspend) {
                keyState.systemSuspended = true;
            } else {
                RemoveKey();
            }
            EXPECT_TRUE(WaitUntilClosed(dialog));
        });
        EXPECT_TRUE(run.closedByScript);
        EXPECT_EQ(run.modalResult, CFPRegistWnd::kCloseCode);
        EXPECT_NE(dialog.GetResult(), 0u);
        EXPECT_NE(dialog.GetResult(), 0x9000u);
    }
}

}  // namespace
}  // namespace kelvora::test
