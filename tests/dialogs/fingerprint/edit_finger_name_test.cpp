// The rename dialog: what part of a stored name is shown and kept, the length rules in
// characters, the key's refusal, and closing when the key goes away.
#include "dialogs/fingerprint/edit_finger_name_wnd.h"
#include "fp_dialog_fixture.h"
#include "platform/text.h"

namespace kelvora::test {
namespace {

const QString kEdit = QStringLiteral("edit_fingername");
const QString kMessage = QStringLiteral("label_message");
constexpr std::uint16_t kSlot = 4;
const std::string kStamp = "20260102030405";

std::string Cp932(const char* utf8) {
    return text::Utf8ToAnsi(utf8).value();
}

class EditNameTest : public FpDialogTest {
  protected:
    std::string StoredName() { return key->SnapshotState().templates.at(kSlot).name; }
};

TEST_F(EditNameTest, HiddenPrefixIsKeptAndTheNameStoredInCp932) {
    struct Case {
        std::string stored;
        const char* shown;
        const char* typed;
        std::string expected;
    };
    const Case cases[] = {
        {kStamp + Cp932("指紋3"), "指紋3", "右手", kStamp + Cp932("右手")},
        {"Fingerprint 2", "Fingerprint 2", "abcd", "-----------abcd"},
        {"-----------left", "left", "right", "-----------right"},
        {"short", "short", "ab", "-----------ab"},
        // Eight characters of two bytes each.
        {kStamp + "x", "x", "一二三四五六七八", kStamp + Cp932("一二三四五六七八")},
    };
    StartKey(kCtapModel);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        Enrol(kSlot, 1, c.stored);
        CEditFingerNameWnd dialog(device, c.stored, kSlot, pacer);
        const WindowRun run = Run(dialog, [&](UiDriver& ui) {
            EXPECT_EQ(ui.Text(kEdit), QString::fromUtf8(c.shown));
            ui.Notify(kEdit, QStringLiteral("setfocus"));
            ui.Type(kEdit, QString::fromUtf8(c.typed));  // replaces the selected name
            ui.KeyDown(kVkReturn);
        });
        EXPECT_EQ(run.modalResult, 1);
        EXPECT_TRUE(run.boxes.empty());
        EXPECT_EQ(StoredName(), c.expected);
    }
}

TEST_F(EditNameTest, LengthIsCountedInCharacters) {
    StartKey(kCtapModel);
    Enrol(kSlot, 1, kStamp + "old");
    struct Case {
        const char* typed;
        const char* message;
    };
    const Case cases[] = {
        {"", name_text::kEmpty},
        {"右", name_text::kTooShort},
        {"一二三四五六七八九", name_text::kTooLong},
        {"abcdefghi", name_text::kTooLong},
    };
    CEditFingerNameWnd dialog(device, kStamp + "old", kSlot, pacer);
    const WindowRun run = Run(dialog, [&](UiDriver& ui) {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.typed);
            ui.Notify(kEdit, QStringLiteral("setfocus"));
            ui.KeyDown(0x08);  // Backspace over the selection
            ui.Type(kEdit, QString::fromUtf8(c.typed));
            ui.Click(QStringLiteral("btn_ok"));
            EXPECT_EQ(ui.Text(kMessage), QString::fromUtf8(c.message));
            EXPECT_EQ(dialog.GetResult(), 0xFFEEu);
            EXPECT_FALSE(dialog.IsClosed());
        }
        // A second character clears the complaint; Escape does nothing.
        ui.Notify(kEdit, QStringLiteral("setfocus"));
        ui.Type(kEdit, QStringLiteral("a"));
        EXPECT_FALSE(ui.Text(kMessage).isEmpty());
        ui.Type(kEdit, QStringLiteral("b"));
        EXPECT_TRUE(ui.Text(kMessage).isEmpty());
        ui.KeyDown(kVkEscape);
        UiDriver::ProcessEvents();
        EXPECT_FALSE(dialog.IsClosed());
        ui.Click(QStringLiteral("closebtn"));
    });
    EXPECT_EQ(run.modalResult, 2);
    EXPECT_EQ(dialog.GetResult(), 2u);
    EXPECT_EQ(StoredName(), kStamp + "old") << "nothing was sent";
}

TEST_F(EditNameTest, RefusedRenameSaysSoAndCloses) {
    StartKey(kCtapModel);
    // The slot holds nothing: the key refuses the name.
    CEditFingerNameWnd dialog(device, kStamp + "old", kSlot, pacer);
    const WindowRun run = Run(dialog, [&](UiDriver& ui) {
        ui.Notify(kEdit, QStringLiteral("setfocus"));
        ui.Type(kEdit, QStringLiteral("new"));
        ui.Click(QStringLiteral("btn_ok"));
    });
    ASSERT_EQ(run.boxes.size(), 1u);
    EXPECT_EQ(run.boxes[0].text, QString::fromUtf8(name_text::kRenameFailed));
    EXPECT_EQ(run.modalResult, 1);
    EXPECT_TRUE(key->SnapshotState().templates.empty());
}

TEST_F(EditNameTest, ClosesWhenTheKeyGoes) {
    struct Case {
        const char* name;
        bool notification;  // the removal reaches the window; otherwise only the flag is set
    };
    for (const Case c : {Case{"device notification", true}, Case{"watcher", false}}) {
        SCOPED_TRACE(c.name);
        StartKey(kCtapModel);
        CEditFingerNameWnd dialog(device, kStamp + "old", kSlot, pacer);
        const WindowRun run = Run(dialog, [&](UiDriver&) {
            if (c.notification) {
                key->Unplug();
            } else {
                keyState.deviceAbsent = true;
            }
            EXPECT_TRUE(WaitUntilClosed(dialog));
        });
        EXPECT_TRUE(run.closedByScript);
        EXPECT_EQ(run.modalResult, 0);
        EXPECT_EQ(dialog.Watchdog().ExitCode(), c.notification ? 0 : kWatchdogClosedWindow);
    }
}

}  // namespace
}  // namespace kelvora::test
