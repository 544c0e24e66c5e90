// The tool as a screen reader presents it: every window of a key's life walked through the
// accessibility interfaces, against a table of what each must expose, and a PIN change
// done through those interfaces alone.
#include <gtest/gtest.h>

#include <map>
#include <utility>

#include "e2e_fixture.h"
#include "tests/common/ui_wait.h"
#include "toolkit/accessibility_walk.h"

namespace kelvora::test {
namespace {

using Role = QAccessible::Role;

struct Exposed {
    const char* window;   // a layout, or the main window in a state
    Role role;            // the window's
    const char* caption;  // nullptr: the one the code gives it
    std::vector<std::pair<Role, const char*>> controls;
};

const char* const kMainCaption = "Kelvora FIDO2 管理ツール";
const char* const kNoKey = "main window, no key";
const char* const kNewKey = "main window, a new key";
const char* const kFingerprints = "main window, two fingerprints";

const std::vector<std::pair<Role, const char*>> kMainButtons = {
    {Role::Button, "指紋を追加"},
    {Role::Button, "指紋を検証"},
    {Role::Button, "指紋を削除"},
    {Role::Button, "PINを変更"},
    {Role::Button, "デバイスをリセット"},
    {Role::Button, "指紋名を編集"},
    {Role::Button, "ヘルプ"},
    {Role::Button, "パスキーを管理"},
    {Role::List, "Fingerprint, Status"},
};

std::vector<std::pair<Role, const char*>> With(std::vector<std::pair<Role, const char*>> more) {
    more.insert(more.end(), kMainButtons.begin(), kMainButtons.end());
    return more;
}

const std::vector<Exposed> kExposed = {
    {kNoKey,
     Role::Window,
     kMainCaption,
     {{Role::Button, "このツールについて"},
      {Role::Button, "Minimum"},
      {Role::Button, "Close"},
      {Role::Graphic, "Device NOT Insert"},
      {Role::StaticText, "デバイスが見つかりません"},
      {Role::StaticText, "デバイスを挿入してください。"}}},
    {kNewKey, Role::Window, kMainCaption, With({{Role::StaticText, "デバイスが見つかりました"}})},
    {kFingerprints, Role::Window, kMainCaption,
     With({{Role::ListItem, "fp1"}, {Role::ListItem, "fp2"}})},
    {"VerifyMode.xml",
     Role::Dialog,
     "認証モードオプション",
     {{Role::StaticText, "認証モードの設定："},
      {Role::Button, "PIN或いは指紋"},
      {Role::Button, "指紋のみ"},
      {Role::Button, "Close"}}},
    {"SetPIN.xml",
     Role::Dialog,
     "PIN設定",
     {{Role::StaticText, "デバイスのPIN設定："},
      {Role::EditableText, "New PIN"},
      {Role::EditableText, "Confirm PIN"},
      {Role::Button, "OK"}}},
    {"MsgBox.xml", Role::AlertMessage, nullptr, {{Role::Button, "OK"}}},
    {"registFingerprint.xml",
     Role::Dialog,
     "指紋を追加",
     {{Role::StaticText, "指紋センサーをタッチしてください。"}, {Role::Button, "Close"}}},
    {"managePasskeys.xml",
     Role::Dialog,
     "パスキー管理",
     {{Role::StaticText, "このデバイスに保存されているパスキー："},
      {Role::StaticText, "パスキーは保存されていません。"},
      {Role::List, "サイト, ユーザー"},
      {Role::Button, "削除"},
      {Role::Button, "Close"}}},
    {"ChangePIN.xml",
     Role::Dialog,
     "PIN変更",
     {{Role::EditableText, "旧PIN"},
      {Role::EditableText, "新PIN"},
      {Role::EditableText, "新PIN再入力"},
      {Role::Button, "Cancel"},
      {Role::Button, "OK"}}},
};

class AccessibilityTest : public EndToEndTest {
  protected:
    void Walk(const std::string& window) { seen_.emplace(window, WalkAccessible(Main())); }
    QWidget* Main() const { return window->GetWidget(); }

    std::map<std::string, std::vector<AccessibleNode>> seen_;
};

TEST_F(AccessibilityTest, EveryWindowShowsItsControlsWithRoleAndName) {
    person.onOpen = [this](WindowImplBase& opened) {
        seen_.emplace(opened.GetSkinFile().toStdString(), WalkAccessible(opened.GetWidget()));
    };
    Open();
    Walk(kNoKey);

    PlugKey(kStandardKey, "", {});
    ASSERT_TRUE(KELVORA_WAIT_FOR_UI(KeyShown()));
    Walk(kNewKey);
    person.mode = kChosePin;  // sets a PIN on the way: a message box follows
    ASSERT_TRUE(Click("btn_Enroll"));

    PlugKey(kStandardKey, "1234", {1, 2});
    ASSERT_TRUE(KELVORA_WAIT_FOR_UI(ListedSlots().size() == 2));
    Walk(kFingerprints);
    ASSERT_TRUE(Click("btn_change_pin"));
    person.pin = person.newPin;
    ASSERT_TRUE(Click("btn_passkeys"));

    for (const Exposed& expected : kExposed) {
        SCOPED_TRACE(expected.window);
        const auto found = seen_.find(expected.window);
        ASSERT_NE(found, seen_.end()) << "never opened";
        const std::vector<AccessibleNode>& nodes = found->second;
        EXPECT_EQ(AccessibilityProblems(nodes), std::vector<std::string>{});
        ASSERT_FALSE(nodes.empty());
        EXPECT_EQ(nodes.front().role, expected.role);
        if (expected.caption != nullptr) {
            EXPECT_EQ(nodes.front().name, QString::fromUtf8(expected.caption));
        } else {
            EXPECT_FALSE(nodes.front().name.isEmpty());
        }
        std::string tree;
        for (const std::string& line : Describe(nodes)) {
            tree += "  " + line + "\n";
        }
        for (const auto& [role, name] : expected.controls) {
            EXPECT_NE(FindNode(nodes, role, QString::fromUtf8(name)), nullptr)
                << Describe(role, QString::fromUtf8(name)) << " missing from\n"
                << tree;
        }
    }
}

TEST_F(AccessibilityTest, PinChangedThroughTheAccessibilityInterfacesAlone) {
    PlugKey(kStandardKey, "1234", {1});
    Open();
    ASSERT_TRUE(KELVORA_WAIT_FOR_UI(ListedSlots().size() == 1));
    person.throughAccessibility = true;

    const std::vector<AccessibleNode> nodes = WalkAccessible(Main());
    ASSERT_TRUE(Press(FindNode(nodes, Role::Button, QStringLiteral("PINを変更"))));
    ASSERT_TRUE(KELVORA_WAIT_FOR_UI(!person.messages.empty()));

    EXPECT_EQ(Describe(person.opened), Describe({kChangePinLayout, kMessageBoxLayout}));
    EXPECT_TRUE(KeyPinIs(person.newPin));
    EXPECT_FALSE(person.messages.front().text.isEmpty());
}

}  // namespace
}  // namespace kelvora::test
