// The main window: its two states, the enabling of its buttons for each kind of key, the
// fingerprint list, keys coming and going (also under an open dialog), keys it cannot
// open, and the options and keys it reacts to.

#include <QElapsedTimer>
#include <algorithm>
#include <optional>

#include "dialogs/message_box/message_box.h"
#include "main_wnd_fixture.h"
#include "platform/text.h"
#include "tests/common/window_script.h"
#include "toolkit/label.h"

namespace kelvora::test {
namespace {

const std::vector<const char*> kKeyButtons = {"btn_Enroll", "btn_Verify", "btn_Format",
                                              "btn_Delete", "btn_edit",   "btn_change_pin"};

std::string Ansi(const char* utf8) {
    return text::Utf8ToAnsi(utf8).value();
}

TEST_F(MainWindowTest, WithoutAKeyTheWindowAsksForOneAndEveryKeyButtonIsOff) {
    Open();
    EXPECT_EQ(ui_->Text(QStringLiteral("label_status")), kNoKeyStatus);
    EXPECT_EQ(ui_->ToolTip(QStringLiteral("label_icon_key_status")),
              QStringLiteral("Device NOT Insert"));
    EXPECT_EQ(ui_->Image(QStringLiteral("label_icon_key_status")),
              QStringLiteral("Kelvora-FIDO-UI-Elements-15.png"));
    EXPECT_EQ(Page("switch"), 0);
    EXPECT_FALSE(ui_->Enabled(QStringLiteral("list_Fingerprint")));
    for (const char* button : kKeyButtons) {
        EXPECT_FALSE(ui_->Enabled(QString::fromLatin1(button))) << button;
    }
    EXPECT_TRUE(ui_->Enabled(QStringLiteral("btn_help")));
    EXPECT_TRUE(ui_->Enabled(QStringLiteral("btn_about")));
    EXPECT_TRUE(window_->State().deviceAbsent);
    Screenshot(QStringLiteral("main_no_key.png"));
}

TEST_F(MainWindowTest, ButtonsFollowWhatTheKeyHolds) {
    struct Case {
        const char* what;
        bool pin;
        std::map<std::uint16_t, std::string> templates;
        bool verify, deleteAndEdit, changePin;
    };
    const Case cases[] = {
        {"new key", false, {}, false, false, false},
        {"PIN only", true, {}, false, false, true},
        {"fingerprints only", false, {{0, "a"}, {1, "b"}}, true, true, false},
        {"PIN and fingerprints", true, {{4, "a"}}, true, true, true},
    };
    vkey::VirtualKey& key = AddKey(3);
    Open();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        key.EditState([&](vkey::State& state) { state = StateWith(c.pin, c.templates); });
        window_->ConnectDevice();
        EXPECT_EQ(ui_->Text(QStringLiteral("label_status")), kKeyStatus);
        EXPECT_EQ(ui_->ToolTip(QStringLiteral("label_icon_key_status")),
                  QStringLiteral("Device Inserted"));
        EXPECT_EQ(Page("switch"), 1);
        EXPECT_TRUE(ui_->Enabled(QStringLiteral("btn_Enroll")));
        EXPECT_TRUE(ui_->Enabled(QStringLiteral("btn_Format")));
        EXPECT_EQ(ui_->Enabled(QStringLiteral("btn_Verify")), c.verify);
        EXPECT_EQ(ui_->Enabled(QStringLiteral("btn_Delete")), c.deleteAndEdit);
        EXPECT_EQ(ui_->Enabled(QStringLiteral("btn_edit")), c.deleteAndEdit);
        EXPECT_EQ(ui_->Enabled(QStringLiteral("btn_change_pin")), c.changePin);
        EXPECT_EQ(List().GetCount(), static_cast<int>(c.templates.size()));
        EXPECT_EQ(window_->State().pinSet.load(), c.pin);
        EXPECT_EQ(window_->State().uvConfigured.load(), !c.templates.empty());
        EXPECT_FALSE(window_->State().deviceAbsent);
        if (!c.pin && c.templates.empty()) {
            Screenshot(QStringLiteral("main_with_key.png"));
        }
    }
}

TEST_F(MainWindowTest, RowsInAscendingSlotOrderWithTheirNamesAndTimes) {
    AddKey(3, StateWith(false, {
                                   {7, "Fingerprint 7 from elsewhere"},
                                   {0, "20190612083000" + Ansi("指紋1")},
                                   {255, "never shown"},
                                   {3, "-----------" + Ansi("右手の親指")},
                                   {9, ""},
                               }));
    Open();
    const struct {
        std::uint16_t slot;
        const char* name;
        const char* time;
    } expected[] = {
        {0, "指紋1", "2019/06/12 17:30:00"},
        {3, "右手の親指", "-"},
        {7, "Fingerprint 7 from elsewhere", "-"},
        {9, "", "-"},
    };
    ASSERT_EQ(List().GetCount(), 4);
    for (int row = 0; row < 4; ++row) {
        SCOPED_TRACE(row);
        EXPECT_EQ(List().GetItemAt(row)->GetTag(), expected[row].slot);
        EXPECT_EQ(window_->RowMap().at(row), expected[row].slot);
        EXPECT_EQ(RowText(row, "label_title"), QString::fromUtf8(expected[row].name));
        EXPECT_EQ(RowText(row, "label_state_1"), QString::fromUtf8(expected[row].time));
    }
    EXPECT_EQ(List().GetCurSel(), 0);
    Screenshot(QStringLiteral("main_with_rows.png"));

    // Selecting a row enables removal and renaming.
    ASSERT_TRUE(ui_->SelectRow(QStringLiteral("list_Fingerprint"), 2));
    EXPECT_TRUE(ui_->Enabled(QStringLiteral("btn_Delete")));
    EXPECT_TRUE(ui_->Enabled(QStringLiteral("btn_edit")));
}

TEST_F(MainWindowTest, FollowsTheKeyBeingPluggedInAndPulledOut) {
    vkey::VirtualKey& key = AddKey(3, StateWith(true, {{1, "a"}}), /*plug=*/false);
    Open();
    ASSERT_EQ(ui_->Text(QStringLiteral("label_status")), kNoKeyStatus);

    QElapsedTimer sincePlug;
    sincePlug.start();
    key.Plug();
    ASSERT_TRUE(WaitForStatus(kKeyStatus));
    EXPECT_GE(sincePlug.elapsed(), 250);  // the arrival is acted on after 300 ms
    EXPECT_EQ(List().GetCount(), 1);

    window_->State().pinToken.Set(std::vector<std::uint8_t>(16, 7));
    key.Unplug();
    ASSERT_TRUE(WaitForStatus(kNoKeyStatus));
    EXPECT_TRUE(window_->State().deviceAbsent);
    EXPECT_TRUE(window_->State().pinToken.Empty());
    EXPECT_FALSE(ui_->Enabled(QStringLiteral("btn_Enroll")));
    EXPECT_EQ(Page("switch"), 0);
    EXPECT_EQ(List().GetCount(), 0);  // the rows went with their key

    // Any device whose path carries a product's digits makes the window look again; others
    // are ignored.
    key.EditState([](vkey::State& state) { state.templates[2] = {"b", 2}; });
    key.Plug();
    ASSERT_TRUE(WaitForStatus(kKeyStatus));
    key.EditState([](vkey::State& state) { state.templates[3] = {"c", 3}; });
    BroadcastDeviceChange(kDbtDeviceArrival, DeviceBroadcast{kDbtDevtypDeviceInterface,
                                                             L"\\\\?\\USB#VID_1234&PID_5678#x"});
    EXPECT_FALSE(WaitForUi(
        "a third fingerprint listed", [&] { return List().GetCount() == 3; },
        std::chrono::milliseconds(600)));
    BroadcastDeviceChange(kDbtDeviceArrival, DeviceBroadcast{kDbtDevtypDeviceInterface,
                                                             L"\\\\?\\USB#VID_1234&PID_2B05#x"});
    EXPECT_TRUE(KELVORA_WAIT_FOR_UI(List().GetCount() == 3));
}

TEST_F(MainWindowTest, PullingTheKeyOutClosesAnOpenMessageBox) {
    vkey::VirtualKey& key = AddKey(3, StateWith(false, {{0, "a"}}));
    Open();
    ASSERT_EQ(ui_->Text(QStringLiteral("label_status")), kKeyStatus);
    QString boxTitle;
    {
        ScopedModalHook hook([&](WindowImplBase& box) {
            boxTitle = box.GetWindowText();
            key.Unplug();  // the box stays until the window notices
        });
        ASSERT_TRUE(ui_->Click(QStringLiteral("btn_help")));  // returns once the box closed
    }
    EXPECT_EQ(boxTitle, QString::fromUtf8(kApplicationTitle));
    EXPECT_EQ(ui_->Text(QStringLiteral("label_status")), kNoKeyStatus);
    EXPECT_TRUE(window_->State().deviceAbsent);
}

TEST_F(MainWindowTest, TheFirstModelOfTheListIsUsedAndAnyRemovalShowsNoKey) {
    vkey::VirtualKey& later = AddKey(4);
    AddKey(3);
    Open();
    ASSERT_EQ(ui_->Text(QStringLiteral("label_status")), kKeyStatus);
    EXPECT_EQ(window_->State().selectedProductId.load(), 0x2B03);
    later.Unplug();
    EXPECT_TRUE(WaitForStatus(kNoKeyStatus));
}

TEST_F(MainWindowTest, AKeyThatCannotBeOpenedIsExplainedOncePerAttempt) {
    vkey::VirtualKey& locked = AddKey(3, {}, true, /*unopenable=*/true);
    std::vector<QString> boxes;
    ScopedModalHook hook([&](WindowImplBase& box) {
        boxes.push_back(box.GetWindowText());
        box.Close(kIdCancel);
    });
    Open();
    EXPECT_EQ(ui_->Text(QStringLiteral("label_status")), kNoKeyStatus);
    EXPECT_EQ(boxes, std::vector<QString>{QStringLiteral("Warning")});
    EXPECT_FALSE(window_->State().deviceAccessDenied);

    // With another key that opens, the tool uses it and says nothing.
    vkey::VirtualKey& usable = AddKey(4);
    window_->ConnectDevice();
    EXPECT_EQ(ui_->Text(QStringLiteral("label_status")), kKeyStatus);
    EXPECT_EQ(boxes.size(), 1U);

    // Once both are gone, looking again finds nothing to explain.
    locked.Unplug();
    usable.Unplug();
    window_->ConnectDevice();
    EXPECT_EQ(ui_->Text(QStringLiteral("label_status")), kNoKeyStatus);
    EXPECT_EQ(boxes.size(), 1U);
}

// Whatever branch the system reports: without administrator rights OK starts the tool again
// with them and the same arguments, once this copy has given up its single-instance claim,
// and this copy then closes without asking for the reset "-E" wanted.
TEST_F(MainWindowTest, AKeyThatCannotBeOpenedOffersAStartWithAdministratorRights) {
    const QString kNeedsRights = QStringLiteral(
        "この操作には管理者権限が必要です。 このアプリケーションを管理者として実行してください。");
    struct Case {
        const char* what;
        bool keysNeedElevation, elevated;
        int answer;
        ElevatedStart start;
        QString text;  // the start of the box's text
        std::size_t buttons;
        bool startAsked, handedOver;
    };
    const Case cases[] = {
        {"OK", true, false, kIdOk, ElevatedStart::kStarted, kNeedsRights, 2, true, true},
        {"Cancel", true, false, kIdCancel, ElevatedStart::kStarted, kNeedsRights, 2, false, false},
        {"prompt refused", true, false, kIdOk, ElevatedStart::kDeclined, kNeedsRights, 2, true,
         false},
        {"start failed", true, false, kIdOk, ElevatedStart::kFailed, kNeedsRights, 2, true, false},
        {"already elevated", true, true, kIdOk, ElevatedStart::kStarted,
         QStringLiteral("セキュリティキーを開くことができませんでした。\n"
                        "他のプログラムがキーを使用している可能性があります。"),
         1, false, false},
        {"udev", false, false, kIdOk, ElevatedStart::kStarted,
         QStringLiteral("対応するセキュリティキーが見つかりましたが、開くことができません。"), 1,
         false, false},
    };
    AddKey(3, {}, true, /*unopenable=*/true);
    arguments_ = {"-E", "two words", "--virtual", "3"};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        instance_.lock = AcquireSingleInstance(instance_.name).lock;
        ASSERT_NE(instance_.lock, nullptr);
        elevation_ = {};
        elevation_.keysNeedElevation = c.keysNeedElevation;
        elevation_.elevated = c.elevated;
        elevation_.answer = c.start;
        bool claimFreeAtStart = false;
        elevation_.onStart = [&] {
            claimFreeAtStart = AcquireSingleInstance(instance_.name).check == InstanceCheck::kFirst;
        };
        std::vector<QString> titles;
        QString text;
        std::size_t buttons = 0;
        ScopedModalHook hook([&](WindowImplBase& box) {
            titles.push_back(box.GetWindowText());
            if (titles.size() > 1) {
                box.Close(kIdCancel);  // the reset's confirmation
                return;
            }
            UiDriver boxUi(box);
            text = MessageBoxText(boxUi);
            buttons = dynamic_cast<CDuiMessageBox&>(box).GetButtons().size();
            EXPECT_TRUE(
                boxUi.Click(c.answer == kIdOk ? QStringLiteral("OK") : QStringLiteral("Cancel")));
        });
        window_.reset();
        Open(/*resetAtStart=*/true);
        UiDriver::ProcessEvents();

        EXPECT_TRUE(text.startsWith(c.text)) << text.toStdString();
        EXPECT_EQ(buttons, c.buttons);
        ASSERT_EQ(elevation_.starts.size(), c.startAsked ? 1U : 0U);
        if (c.startAsked) {
            EXPECT_EQ(elevation_.starts[0], arguments_);
            EXPECT_TRUE(claimFreeAtStart);
        }
        EXPECT_EQ(window_->IsClosed(), c.handedOver);
        // A copy that stays holds its claim again and asks for the reset as "-E" wanted.
        EXPECT_EQ(instance_.lock == nullptr, c.handedOver);
        EXPECT_EQ(AcquireSingleInstance(instance_.name).check == InstanceCheck::kFirst,
                  c.handedOver);
        EXPECT_EQ(titles.size(), c.handedOver ? 1U : 2U);
        if (!c.handedOver) {
            EXPECT_EQ(ui_->Text(QStringLiteral("label_status")), kNoKeyStatus);
        }
        instance_.lock.reset();
    }
}

TEST_F(MainWindowTest, ALegacyKeysSlotsAreReadOnceBeforeAnEnrollment) {
    // An unreadable bitmap is then reported once, not once per reading.
    vkey::VirtualKey& key = AddKey(1, StateWith(false, {{0, ""}}));
    Open();
    const auto bitmapReads = [&key] {
        const vkey::State state = key.SnapshotState();
        return std::count_if(state.history.begin(), state.history.end(), [](const auto& entry) {
            const vkey::Bytes& r = entry.request;
            return r.size() > 2 && r[0] == 0x84 && r[1] == 0xE2 && r[2] == 0x04;
        });
    };
    const auto before = bitmapReads();
    std::optional<std::ptrdiff_t> untilFirstWindow;
    {
        ScopedModalHook hook([&](WindowImplBase& window) {
            if (!untilFirstWindow) {
                untilFirstWindow = bitmapReads() - before;
            }
            window.Close(kIdCancel);  // the finger check that a key with a fingerprint asks for
        });
        ASSERT_TRUE(ui_->Click(QStringLiteral("btn_Enroll")));
    }
    EXPECT_EQ(untilFirstWindow, 1);
}

// A legacy key is read through its slot bitmap even after a CTAP2 key was used.
TEST_F(MainWindowTest, ALegacyKeyAfterACtap2KeyShowsItsFingerprints) {
    vkey::VirtualKey& ctap2 = AddKey(3, StateWith(false, {{0, "a"}}));
    Open();
    ASSERT_EQ(List().GetCount(), 1);
    ctap2.Unplug();
    ASSERT_TRUE(WaitForStatus(kNoKeyStatus));
    AddKey(1, StateWith(false, {{2, ""}, {5, ""}, {6, ""}}));
    ASSERT_TRUE(WaitForStatus(kKeyStatus));
    EXPECT_EQ(List().GetCount(), 3);
    EXPECT_TRUE(ui_->Enabled(QStringLiteral("btn_Verify")));
}

TEST_F(MainWindowTest, ResetOptionAsksForTheResetEvenWithoutAKey) {
    QString title;
    QString statusMeanwhile;
    {
        ScopedModalHook hook([&](WindowImplBase& box) {
            title = box.GetWindowText();
            statusMeanwhile = ui_ ? ui_->Text(QStringLiteral("label_status")) : QString();
            box.Close(kIdCancel);
        });
        Open(/*resetAtStart=*/true);
    }
    EXPECT_EQ(title, QStringLiteral("警告"));
    EXPECT_FALSE(window_->State().resetAtStart);
}

TEST_F(MainWindowTest, EnterEscapeAndPowerEvents) {
    AddKey(3);
    Open();
    ui_->KeyDown(kVkReturn);
    ui_->KeyDown(kVkEscape);
    UiDriver::ProcessEvents();
    EXPECT_FALSE(window_->IsClosed());
    EXPECT_EQ(ui_->Text(QStringLiteral("label_status")), kKeyStatus);

    const struct {
        WPARAM event;
        bool suspended;
    } steps[] = {{kPbtApmSuspend, true}, {5, true}, {kPbtApmResumeSuspend, false}, {5, false}};
    for (const auto& step : steps) {
        BroadcastPowerEvent(step.event);
        UiDriver::ProcessEvents();
        EXPECT_EQ(window_->State().systemSuspended.load(), step.suspended) << step.event;
    }
}

TEST_F(MainWindowTest, HelpAndAboutBoxes) {
    Open();
    std::vector<QString> titles;
    ScopedModalHook hook([&](WindowImplBase& box) {
        titles.push_back(box.GetWindowText());
        box.Close(kIdOk);
    });
    ASSERT_TRUE(ui_->Click(QStringLiteral("btn_help")));
    ASSERT_TRUE(ui_->Click(QStringLiteral("btn_about")));
    EXPECT_EQ(titles, (std::vector<QString>{QString::fromUtf8(kApplicationTitle),
                                            QStringLiteral("Kelvora Fido2 管理ツールについて")}));
    EXPECT_FALSE(window_->IsClosed());
}

}  // namespace
}  // namespace kelvora::test
