// Every fixed text of every window and message box, laid out in its control with the shipped
// fonts: no character may be cut off, and a text on several lines breaks after a sentence
// rather than inside a word.
#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "dialogs/fingerprint/edit_finger_name_wnd.h"
#include "dialogs/fingerprint/progress_views.h"
#include "dialogs/message_box/message_box.h"
#include "dialogs/passkeys/passkey_texts.h"
#include "dialogs/pin/pin_entry.h"
#include "platform/access_denied_advice.h"
#include "tests/common/fakes.h"
#include "toolkit/container.h"
#include "toolkit/label.h"
#include "toolkit/test_driver.h"
#include "toolkit/test_window.h"

namespace kelvora::test {
namespace {

QString U(const char* text) {
    return QString::fromUtf8(text);
}

const char* const kLayouts[] = {
    "main.xml",
    "SetPIN.xml",
    "ChangePIN.xml",
    "verifyPIN.xml",
    "EditFingerName.xml",
    "registFingerprint.xml",
    "verifyFingerprint.xml",
    "resetDevice.xml",
    "VerifyOption.xml",
    "VerifyMode.xml",
    "welcome.xml",
    "managePasskeys.xml",
};

// The texts the windows put into their controls while they run.
struct Placement {
    const char* layout;
    std::vector<const char*> controls;
    std::vector<QString> texts;
};

std::vector<Placement> Placements() {
    using pin_text::kChangeFailed, pin_text::kEnterPin, pin_text::kLocked, pin_text::kMismatch,
        pin_text::kTooLong, pin_text::kTooShort, pin_text::kVerifyFailed;
    const QString retry = U("PIN認証に失敗しました。（リトライ回数：残り8回）");
    return {
        {"main.xml",
         {"label_status"},
         {U("デバイスが見つかりました"), U("デバイスが見つかりません")}},
        {"SetPIN.xml",
         {"label_pin", "label_pin2"},
         {U(kEnterPin), U(kTooShort), U(kTooLong), U(kMismatch)}},
        {"ChangePIN.xml",
         {"label_old_pin", "label_new_pin", "label_new_pin2"},
         {U(kEnterPin), U(kTooShort), U(kTooLong), U(kMismatch), U(kVerifyFailed), U(kLocked),
          U(kChangeFailed), retry}},
        {"verifyPIN.xml",
         {"label_status"},
         {U(kEnterPin), U(kTooShort), U(kTooLong), U(kVerifyFailed), U(kLocked), retry}},
        {"EditFingerName.xml",
         {"label_message"},
         {U(name_text::kEmpty), U(name_text::kTooShort), U(name_text::kTooLong)}},
        {"registFingerprint.xml",
         {"txt_show"},
         {U("ユーザーがセンサーから指を離しませんでした。"), U("ユーザがタッチしてはありません。"),
          U("指紋センサーをタッチ（残り3回）"), U("メモリが足りません。"), U(fp_text::kEnrolled),
          U(fp_text::kEnrollFailed), U(fp_text::kCancelling), U(fp_text::kTouchPrompt)}},
        {"verifyFingerprint.xml",
         {"txt_show"},
         {U(fp_text::kTouchPrompt), U(fp_text::kVerified), U(fp_text::kTryAgain),
          U(fp_text::kLocked), U("指紋認証に失敗しました。（リトライ回数：残り2回）")}},
        {"verifyFingerprint.xml", {"label_test"}, {U("指紋検証"), U("指紋認証")}},
        {"managePasskeys.xml",
         {"label_summary"},
         {U(passkey_text::kLoading), U(passkey_text::kNone),
          passkey_text::Summary(1000, 1000, 1000)}},
        {"managePasskeys.xml", {"label_message"}, {U(passkey_text::kReadFailed)}},
        {"resetDevice.xml",
         {"txt_show"},
         {U(fp_text::kTouchPrompt), U(fp_text::kResetDone), U(fp_text::kResetFailed)}},
    };
}

struct Box {
    QString caption;
    QString text;
    std::uint32_t type;
};

std::vector<Box> Boxes() {
    const QString tool = U(kApplicationTitle);
    // Where administrator rights open keys, and where the udev rule does.
    FakeElevation elevated;
    elevated.elevated = true;
    FakeElevation udev;
    udev.keysNeedElevation = false;
    const AccessDeniedAdvice inUse = AdviceForUnopenableKey(elevated);
    const AccessDeniedAdvice advice = AdviceForUnopenableKey(udev);
    return {
        {tool,
         U("提示:\n\t\t\t\t① 各指紋テンプレートでは、4回の指紋サンプリングが必要です。"
           "正しく指紋が登録されるように指の位置を調整します。\n\t\t\t\t \n\t\t\t\t"
           "② 1本の指を繰り返し登録することで、指紋認証の成功率を上げることができます。\n\t\t\t\t "
           "\n\t\t\t\t③ 指が指紋センサーに完全に触れていることを確認してください。\n\t\t\t\t \n"),
         kMbOk},
        {U("Kelvora Fido2 管理ツールについて"),
         U("Kelvora FIDO2 管理ツール1.1\n\t\t\t\tKelvora Technologies\n\t\t\t\t   \n"
           "\t\t\t\thttps://www.kelvora.example/"),
         kMbOk},
        {U("警告"),
         U("デバイスリセット\nデバイスは出荷時の設定にリセットされます。\n全てのデータは消去されま"
           "す。\n"
           "【注意事項】\n一部のデバイスに、端末と接続してから10秒以内にリセット操作を実施してくだ"
           "さい。\n"
           "リセット操作ができない場合は、デバイスを抜き差し操作を実施してください。 "),
         kMbOkCancel | kMbIconWarning},
        {U("エラー"), U("メモリが足りません。"), kMbIconError},
        {U("エラー"), U("PIN認証が無効のため、最後の指紋レコードを削除できませんでした。"),
         kMbIconError},
        {U("エラー"), U("エラーが発生しました。認証デバイスを再接続してください。"), kMbIconError},
        {tool, U("削除に失敗しました。"), kMbOk},
        {U("Warning"),
         U("この操作には管理者権限が必要です。 "
           "このアプリケーションを管理者として実行してください。"),
         kMbOkCancel | kMbIconWarning},
        {QString::fromStdString(inUse.title), QString::fromStdString(inUse.text),
         inUse.messageBoxStyle},
        {QString::fromStdString(advice.title), QString::fromStdString(advice.text),
         advice.messageBoxStyle},
        {tool, U(pin_text::kSetSucceeded), kMbOk},
        {tool, U(pin_text::kSetFailed), kMbOk},
        {tool, U(pin_text::kChangeSucceeded), kMbOk},
        {tool, U(pin_text::kChangeFailed), kMbOk},
        {tool, U(name_text::kRenameFailed), kMbOk},
        {tool, U(passkey_text::kNeedsPin), kMbOk},
        {tool, U(passkey_text::kDeleteFailed), kMbIconError},
        {U(passkey_text::kConfirmTitle), passkey_text::ResetErases(1000),
         kMbOkCancel | kMbIconWarning},
        {U(passkey_text::kConfirmTitle),
         passkey_text::ConfirmDeletion({"login.example.com", "Example Login", {}, {}},
                                       {{1}, {}, "someone@example.com", "Someone Example"}),
         kMbOkCancel | kMbIconWarning},
    };
}

// Whether `label` shows its text whole, and a multi-line one breaks after its sentences.
void ExpectWhole(const CLabelUI& label, const std::string& where) {
    const QString text = label.GetText();
    SCOPED_TRACE(where + ": " + text.toStdString());
    EXPECT_TRUE(label.ShowsWholeText()) << label.width() << " x " << label.height();
    const QString laidOut = label.LaidOutText();
    const qsizetype stop = text.indexOf(QChar(0x3002));
    const QFontMetrics fm(label.font());
    if (label.IsMultiLine() && stop >= 0 && stop + 1 < text.size() &&
        !text.contains(QLatin1Char('\n')) &&
        label.TextHeightAt(label.width() - label.GetTextPadding().left() -
                           label.GetTextPadding().right()) > fm.height()) {
        EXPECT_TRUE(laidOut.contains(QChar(0x3002) + QLatin1Char('\n'))) << "broken inside a word";
    }
}

// Every text-bearing control the window shows now.
void ExpectShownTextsWhole(QWidget& root, const std::string& where) {
    for (const QWidget* widget : root.findChildren<QWidget*>()) {
        const auto* label = dynamic_cast<const CLabelUI*>(widget);
        if (label != nullptr && label->isVisible() && !label->GetText().isEmpty()) {
            ExpectWhole(*label, where + " " + label->GetName().toStdString());
        }
    }
}

TEST(FixedTexts, ShowWholeInTheirControls) {
    std::map<std::string, std::unique_ptr<TestWindow>> windows;
    for (const char* layout : kLayouts) {
        auto window = std::make_unique<TestWindow>(U(layout));
        ASSERT_TRUE(window->CreateDefault()) << layout;
        window->ShowWindow(true);
        UiDriver::ProcessEvents();
        // Each page of every tab layout in turn: the pages that are not shown have no size.
        for (QWidget* widget : window->GetWidget()->findChildren<QWidget*>()) {
            auto* tab = dynamic_cast<CTabLayoutUI*>(widget);
            if (tab == nullptr) {
                continue;
            }
            for (int page = 0; page < tab->GetCount(); ++page) {
                tab->SelectItem(page);
                UiDriver::ProcessEvents();
                ExpectShownTextsWhole(*window->GetWidget(), layout);
            }
        }
        ExpectShownTextsWhole(*window->GetWidget(), layout);
        windows[layout] = std::move(window);
    }
    for (const Placement& placement : Placements()) {
        for (const char* name : placement.controls) {
            auto* label =
                dynamic_cast<CLabelUI*>(windows.at(placement.layout)->FindControl(U(name)));
            ASSERT_NE(label, nullptr) << placement.layout << " " << name;
            for (const QString& text : placement.texts) {
                label->SetText(text);
                UiDriver::ProcessEvents();
                ExpectWhole(*label, std::string(placement.layout) + " " + name);
            }
        }
    }
    for (const Box& box : Boxes()) {
        CDuiMessageBox window(box.text, box.caption, box.type);
        ASSERT_TRUE(window.Create({}, QStringLiteral("Test"), kMessageBoxStyle));
        window.ShowWindow(true);
        UiDriver::ProcessEvents();
        ExpectShownTextsWhole(*window.GetWidget(), "message box");
        window.Close(1);
        UiDriver::ProcessEvents();
    }
}

}  // namespace
}  // namespace kelvora::test
