// Every layout of the skin package builds, has its size, and holds every control the windows
// look up, with the texts, tooltips and pictures the user sees.

#include <gtest/gtest.h>

#include <QDir>
#include <QSize>
#include <QWidget>

#include "toolkit/container.h"
#include "toolkit/dialog_builder.h"
#include "toolkit/edit.h"
#include "toolkit/gui_test_environment.h"
#include "toolkit/label.h"
#include "toolkit/list.h"
#include "toolkit/test_driver.h"
#include "toolkit/test_window.h"

namespace kelvora::test {
namespace {

struct Expect {
    const char* name;
    const char* text = nullptr;     // nullptr: not checked
    const char* tooltip = nullptr;  // nullptr: not checked
    const char* image = nullptr;    // background, or a button's normal image
};

struct LayoutCase {
    const char* file;
    QSize size;
    std::vector<Expect> controls;
};

const std::vector<LayoutCase>& Layouts() {
    static const std::vector<LayoutCase> cases = {
        {"main.xml",
         {500, 500},
         {{"btn_about", nullptr, nullptr, "about.png"},
          {"minbtn", nullptr, "Minimum", "Minimize_Active.png"},
          {"closebtn", nullptr, "Close", "Close_Active.png"},
          {"label_icon_key_status", nullptr, "Device status", "Kelvora-FIDO-UI-Elements-15.png"},
          {"label_status", "デバイスが見つかりません"},
          {"switch"},
          {"switch_fp"},
          {"list_Fingerprint"},
          {"btn_Enroll", "指紋を追加", "Add Fingerprint", "Add_Active.png"},
          {"btn_Verify", "指紋を検証", "Test Fingerprint", "Test_Active.png"},
          {"btn_Delete", "指紋を削除", "Remove Fingerprint", "Remove_Active.png"},
          {"btn_change_pin", "PINを変更", "Change PIN", "PIN_Active.png"},
          {"btn_Format", "デバイスをリセット", "Reset Device", "Reset_Active.png"},
          {"btn_edit", "指紋名を編集", "Edit Fingername", "FingerName_Active.png"},
          {"btn_help", "ヘルプ", "Help", "Help_Active.png"},
          {"btn_passkeys", "パスキーを管理", "Manage Passkeys", "Passkey_Active.png"},
          {"label_help", "Help Information"}}},
        {"resetDevice.xml",
         {260, 280},
         {{"image_show", nullptr, nullptr, "Rec_Finger_Add.png"},
          {"txt_show", "指紋センサーをタッチしてください。"}}},
        {"SetPIN.xml",
         {350, 300},
         {{"closebtn"},
          {"txt_info", "デバイスのPIN設定："},
          {"edit_pin", nullptr, "New PIN"},
          {"label_pin", ""},
          {"edit_pin2", nullptr, "Confirm PIN"},
          {"label_pin2", ""},
          {"btn_ok", "OK"}}},
        {"ChangePIN.xml",
         {460, 360},
         {{"closebtn"},
          {"txt_info", "デバイスに新しいPINを設定する"},
          {"txt_label", "旧PIN"},
          {"edit_pin_old", nullptr, "Old PIN"},
          {"edit_pin_new", nullptr, "New PIN"},
          {"edit_pin_new2", nullptr, "Confirm New PIN"},
          {"label_old_pin", ""},
          {"label_new_pin", ""},
          {"label_new_pin2", ""},
          {"btn_ok", "OK"}}},
        {"verifyPIN.xml",
         {300, 280},
         {{"closebtn"},
          {"edit_pin", nullptr, "Input your PIN"},
          {"label_status", ""},
          {"btn_ok", "OK"}}},
        {"MsgBox.xml",
         {500, 250},
         {{"MsgTitle"}, {"QvTitle", "MessageBox"}, {"closebtn"}, {"MsgBox"}}},
        {"registFingerprint.xml",
         {360, 360},
         {{"closebtn"},
          {"image_show", nullptr, nullptr, "Rec_Finger_Add.png"},
          {"txt_show", "指紋センサーをタッチしてください。"},
          {"text_2", "登録成功まで、指を指紋センサーに当てて離す作業を繰り返してください。"}}},
        {"verifyFingerprint.xml",
         {280, 280},
         {{"label_test", "Verify Fingerprint"},
          {"image_show", nullptr, nullptr, "Rec_Finger_Add.png"},
          {"txt_show", "指紋センサーをタッチしてください。"}}},
        {"EditFingerName.xml",
         {350, 230},
         {{"closebtn"},
          {"txt_info", "指紋に新しい名称を設定してください。"},
          {"edit_fingername", nullptr, "New Fingername"},
          {"label_message", ""},
          {"btn_ok", "OK"}}},
        {"VerifyOption.xml",
         {260, 280},
         {{"closebtn"},
          {"btn_pin", nullptr, nullptr, "PIN_Button.png"},
          {"btn_fp", nullptr, nullptr, "Finger_Button.png"}}},
        {"VerifyMode.xml",
         {300, 300},
         {{"closebtn"},
          {"btn_pin", nullptr, nullptr, "PIN+Finger_Button.png"},
          {"btn_fp", nullptr, nullptr, "Finger_Button.png"}}},
        {"managePasskeys.xml",
         {460, 400},
         {{"closebtn"},
          {"txt_info", "このデバイスに保存されているパスキー："},
          {"label_summary", ""},
          {"list_passkeys"},
          {"label_message", ""},
          {"btn_delete", "削除", "Delete Passkey"}}},
        {"welcome.xml",
         {480, 480},
         {{"closebtn"},
          {"btn_1", "                  ● Visit Passwordless Fingerprint Biometric Webpage"},
          {"btn_2", "                  ● Get more technical information"},
          {"btn_3", "                  ● Shop: US/Canada/Mexico"},
          {"btn_4", "                  ● Shop: Other Regions"},
          {"btn_5", "                  ● Request Assistance"}}},
    };
    return cases;
}

class LayoutTest : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(LayoutTest, BuildsWithEveryNamedControl) {
    const LayoutCase& c = GetParam();
    TestWindow window(QString::fromUtf8(c.file));
    ASSERT_TRUE(window.CreateDefault()) << c.file;
    EXPECT_EQ(window.GetWidget()->size(), c.size);
    EXPECT_EQ(window.GetWindowClassName(), QStringLiteral("DUIMainFrame"));
    UiDriver ui(window);
    for (const Expect& e : c.controls) {
        const QString name = QString::fromUtf8(e.name);
        CControlUI* control = ui.Find(name);
        ASSERT_NE(control, nullptr) << c.file << ": " << e.name;
        if (e.text != nullptr) {
            EXPECT_EQ(control->GetText(), QString::fromUtf8(e.text)) << e.name;
        }
        if (e.tooltip != nullptr) {
            EXPECT_EQ(control->GetToolTip(), QString::fromUtf8(e.tooltip)) << e.name;
        }
        if (e.image != nullptr) {
            EXPECT_EQ(ui.Image(name), QString::fromUtf8(e.image)) << e.name;
        }
    }
    ui.ProcessEvents();
    EXPECT_TRUE(ui.SaveScreenshot(QDir(ScreenshotFolder())
                                      .filePath(QString::fromUtf8(c.file).replace(
                                          QStringLiteral(".xml"), QStringLiteral(".png")))));
}

INSTANTIATE_TEST_SUITE_P(SkinPackage, LayoutTest, ::testing::ValuesIn(Layouts()),
                         [](const auto& info) {
                             std::string name = info.param.file;
                             return name.substr(0, name.find('.'));
                         });

// Walks a control tree and collects every picture it names.
void CollectImages(CControlUI* control, QStringList& out) {
    if (!control->GetBkImage().isEmpty()) {
        out << control->GetBkImage();
    }
    if (auto* button = dynamic_cast<CButtonUI*>(control);
        button && !button->GetNormalImage().isEmpty()) {
        out << button->GetNormalImage();
    }
    if (auto* container = dynamic_cast<CContainerUI*>(control)) {
        for (int i = 0; i < container->GetCount(); ++i) {
            CollectImages(container->GetItemAt(i), out);
        }
    }
}

TEST(SkinPackage, EveryPictureALayoutNamesIsInThePackage) {
    for (const LayoutCase& c : Layouts()) {
        TestWindow window(QString::fromUtf8(c.file));
        ASSERT_TRUE(window.CreateDefault());
        QStringList images;
        CollectImages(window.GetPaintManager().GetRoot(), images);
        for (const QString& image : images) {
            EXPECT_NE(CPaintManagerUI::GetImage(image), nullptr)
                << c.file << ": " << image.toStdString();
        }
    }
}

TEST(SkinPackage, HoldsThePicturesTheCodeChooses) {
    QStringList names = {"Pass.png",
                         "Fail.png",
                         "Rec_Finger_Add.png",
                         "Png_Msg_error.png",
                         "Png_Msg_info.png",
                         "Png_Msg_warning.png",
                         "logo_32.png",
                         "Kelvora-FIDO-UI-Elements-14.png",
                         "Kelvora-FIDO-UI-Elements-15.png",
                         "list_header_bg.png",
                         "scroll.png",
                         "logo.ico"};
    for (int i = 1; i <= 4; ++i) {
        names << QStringLiteral("Rec_Finger_%1.png").arg(i);
    }
    for (const QString& name : names) {
        EXPECT_TRUE(CPaintManagerUI::LoadResourceFile(name).has_value()) << name.toStdString();
    }
    for (const QString& name : names.filter(QStringLiteral(".png"))) {
        EXPECT_NE(CPaintManagerUI::GetImage(name), nullptr) << name.toStdString();
    }
}

TEST(SkinPackage, ChoiceWindowsHaveTwoControlsPerChoice) {
    for (const char* file : {"VerifyOption.xml", "VerifyMode.xml"}) {
        TestWindow window(QString::fromUtf8(file));
        ASSERT_TRUE(window.CreateDefault());
        UiDriver ui(window);
        EXPECT_EQ(ui.FindAll(QStringLiteral("btn_pin")).size(), 2u) << file;
        EXPECT_EQ(ui.FindAll(QStringLiteral("btn_fp")).size(), 2u) << file;
    }
    TestWindow change(QStringLiteral("ChangePIN.xml"));
    ASSERT_TRUE(change.CreateDefault());
    const auto closers = UiDriver(change).FindAll(QStringLiteral("closebtn"));
    ASSERT_EQ(closers.size(), 2u);
    EXPECT_EQ(closers[1]->GetText(), QStringLiteral("Cancel"));
}

TEST(SkinPackage, PinEditsHidePasswordsButTheNameEditDoesNot) {
    const std::vector<std::pair<const char*, std::vector<const char*>>> edits = {
        {"SetPIN.xml", {"edit_pin", "edit_pin2"}},
        {"ChangePIN.xml", {"edit_pin_old", "edit_pin_new", "edit_pin_new2"}},
        {"verifyPIN.xml", {"edit_pin"}}};
    for (const auto& [file, names] : edits) {
        TestWindow window(QString::fromUtf8(file));
        ASSERT_TRUE(window.CreateDefault());
        for (const char* name : names) {
            auto* edit = UiDriver(window).FindAs<CEditUI>(QString::fromUtf8(name));
            ASSERT_NE(edit, nullptr) << name;
            EXPECT_TRUE(edit->IsPasswordMode()) << name;
        }
    }
    TestWindow rename(QStringLiteral("EditFingerName.xml"));
    ASSERT_TRUE(rename.CreateDefault());
    auto* name = UiDriver(rename).FindAs<CEditUI>(QStringLiteral("edit_fingername"));
    ASSERT_NE(name, nullptr);
    EXPECT_FALSE(name->IsPasswordMode());
}

TEST(SkinPackage, RowTemplateFillsTheMainList) {
    TestWindow window(QStringLiteral("main.xml"));
    ASSERT_TRUE(window.CreateDefault());
    UiDriver ui(window);
    auto* list = ui.FindAs<CListUI>(QStringLiteral("list_Fingerprint"));
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->GetHeader()->GetCount(), 2);
    EXPECT_EQ(list->GetHeader()->GetItemAt(0)->GetText(), QStringLiteral("Fingerprint"));
    EXPECT_EQ(list->GetHeader()->GetItemAt(0)->GetFixedWidth(), 130);
    auto* switcher = ui.FindAs<CTabLayoutUI>(QStringLiteral("switch"));
    ASSERT_NE(switcher, nullptr);
    ASSERT_TRUE(switcher->SelectItem(1));

    const std::vector<std::pair<QString, QString>> rows = {
        {QStringLiteral("指紋1"), QStringLiteral("2019/06/12 17:30:00")},
        {QStringLiteral("右手の人差し指"), QStringLiteral("-")},
        {QStringLiteral("abc"), QStringLiteral("-")}};
    for (size_t i = 0; i < rows.size(); ++i) {
        CDialogBuilder builder;
        CControlUI* row = builder.Create(QStringLiteral("sigle_list_item_column.xml"), &window,
                                         &window.GetPaintManager());
        ASSERT_NE(row, nullptr) << builder.GetError().toStdString();
        auto* element = dynamic_cast<CListContainerElementUI*>(row);
        ASSERT_NE(element, nullptr);
        ASSERT_TRUE(list->Add(row));
        row->SetTag(i + 7);
        auto* title = element->FindSubControl(QStringLiteral("label_title"));
        auto* state = element->FindSubControl(QStringLiteral("label_state_1"));
        ASSERT_NE(title, nullptr);
        ASSERT_NE(state, nullptr);
        EXPECT_EQ(state->GetFixedWidth(), 30);
        title->SetText(rows[i].first);
        state->SetFixedWidth(150);
        state->SetText(rows[i].second);
    }
    EXPECT_EQ(list->GetCount(), 3);
    ASSERT_TRUE(list->SelectItem(0));
    EXPECT_EQ(list->GetItemAt(0)->GetTag(), 7u);
    ui.ProcessEvents();
    // Rows put in by hand on a window without a key: a picture of the list's layout, not of a
    // state the tool shows (the screenshot tour takes those).
    EXPECT_TRUE(ui.SaveScreenshot(
        QDir(ScreenshotFolder()).filePath(QStringLiteral("layout_list_rows.png"))));
}

}  // namespace
}  // namespace kelvora::test
