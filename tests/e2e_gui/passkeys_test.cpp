// The passkey window as a person uses it (after the PIN, listing, deleting, cancelling, the
// key pulled out), and the box a reset shows first of the passkeys it erases.
#include <algorithm>

#include "e2e_fixture.h"

namespace kelvora::test {
namespace {

using Windows = std::vector<QString>;

const QString kUser1 = QStringLiteral("User 1 (user1@site1.example)");

class PasskeysTest : public EndToEndTest {
  protected:
    void Start(const KeyKind& kind, const std::string& pin, std::size_t passkeys) {
        person = Person{};
        PlugKey(kind, pin, {});
        if (passkeys > 0) {
            AddPasskeys(passkeys);
        }
        Open();
        ASSERT_TRUE(KeyShown());
    }
};

TEST_F(PasskeysTest, WindowListsAndDeletesOnEitherCommand) {
    struct Case {
        const char* name;
        std::map<QString, Act> acts;
        int deleteRow;
        Windows windows;
        std::size_t leftOnKey;
    };
    const Case cases[] = {
        {"looked at", {}, -1, {kVerifyPinLayout, kPasskeysLayout}, 3},
        {"first deleted", {}, 0, {kVerifyPinLayout, kPasskeysLayout, kMessageBoxLayout}, 2},
        {"deletion cancelled",
         {{kMessageBoxLayout, Act::kCancel}},
         0,
         {kVerifyPinLayout, kPasskeysLayout, kMessageBoxLayout},
         3},
        {"PIN not given", {{kVerifyPinLayout, Act::kCancel}}, -1, {kVerifyPinLayout}, 3},
        {"key pulled out",
         {{kPasskeysLayout, Act::kUnplug}},
         -1,
         {kVerifyPinLayout, kPasskeysLayout},
         3},
    };
    for (const KeyKind& kind : {kStandardKey, kCtap21Key}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(kind.name) + ": " + c.name);
            Start(kind, "1234", 3);
            person.acts = c.acts;
            person.passkeyRowToDelete = c.deleteRow;
            EXPECT_TRUE(Enabled("btn_passkeys"));
            ASSERT_TRUE(Click("btn_passkeys"));
            EXPECT_EQ(Describe(person.opened), Describe(c.windows));
            EXPECT_EQ(KeyPasskeyUsers().size(), c.leftOnKey);
            if (c.windows.size() < 2 || c.acts.count(kPasskeysLayout) != 0) {
                continue;  // nothing was listed, or nobody looked
            }
            ASSERT_FALSE(person.passkeyReadings.empty());
            const std::vector<QString>& first = person.passkeyReadings.front();
            ASSERT_EQ(first.size(), 3U);
            EXPECT_TRUE(std::count(first.begin(), first.end(),
                                   QStringLiteral("Site 1 (site1.example) / ") + kUser1));
            if (c.deleteRow < 0) {
                continue;
            }
            // The window shows what the key holds after the answer, the deleted one gone.
            ASSERT_EQ(person.passkeyReadings.size(), 2U);
            EXPECT_EQ(person.passkeyReadings.back().size(), c.leftOnKey);
            const std::vector<std::string> users = KeyPasskeyUsers();
            EXPECT_EQ(std::count(users.begin(), users.end(), "user1@site1.example"),
                      c.leftOnKey == 3 ? 1 : 0);
        }
    }
}

TEST_F(PasskeysTest, WindowNeedsAPinAndACapableKey) {
    Start(kStandardKey, "", 0);
    ASSERT_TRUE(Click("btn_passkeys"));
    EXPECT_EQ(Describe(person.opened), Describe({kMessageBoxLayout}));
    ASSERT_EQ(person.messages.size(), 1U);
    EXPECT_EQ(person.messages[0].text,
              QStringLiteral("パスキーを管理するには、先にPINを設定してください。"));
    Unplug();
    EXPECT_FALSE(ui->Visible(QStringLiteral("btn_passkeys"))) << "no key, no passkeys";

    Start(kLegacyKey, "1234", 0);
    EXPECT_FALSE(ui->Visible(QStringLiteral("btn_passkeys")));
    EXPECT_FALSE(Click("btn_passkeys"));
}

TEST_F(PasskeysTest, ResetSaysFirstHowManyPasskeysItErases) {
    const QString erases = QStringLiteral(
        "このデバイスには2件のパスキーが保存されています。\n"
        "リセットすると、全てのパスキーも消去されます。");
    struct Case {
        const char* name;
        const KeyKind& kind;
        std::size_t passkeys;
        bool pinProvedBefore;  // through the passkey window
        Act extraBox;
        Windows windows;  // of the reset
        std::size_t leftOnKey;
    };
    const Case cases[] = {
        {"passkeys",
         kStandardKey,
         2,
         true,
         Act::kAnswer,
         {kMessageBoxLayout, kMessageBoxLayout, kResetLayout},
         0},
        {"passkeys, CTAP 2.1",
         kCtap21Key,
         2,
         true,
         Act::kAnswer,
         {kMessageBoxLayout, kMessageBoxLayout, kResetLayout},
         0},
        {"passkeys, cancelled there", kStandardKey, 2, true, Act::kCancel, {kMessageBoxLayout}, 2},
        {"no passkeys", kStandardKey, 0, true, Act::kAnswer, {kMessageBoxLayout, kResetLayout}, 0},
        // Counting takes the PIN's token, and a reset does not ask for the PIN.
        {"PIN not proved",
         kStandardKey,
         2,
         false,
         Act::kAnswer,
         {kMessageBoxLayout, kResetLayout},
         0},
        {"legacy key", kLegacyKey, 0, false, Act::kAnswer, {kMessageBoxLayout, kResetLayout}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Start(c.kind, "1234", c.passkeys);
        if (c.pinProvedBefore) {
            ASSERT_TRUE(Click("btn_passkeys"));
        }
        person.opened.clear();
        person.messages.clear();
        // The extra box first, when there is one: Cancel there must stop the reset.
        person.acts[kMessageBoxLayout] = c.extraBox;
        ASSERT_TRUE(Click("btn_Format"));
        EXPECT_EQ(Describe(person.opened), Describe(c.windows));
        ASSERT_FALSE(person.messages.empty());
        const bool extra = c.windows.size() == 3 || c.extraBox == Act::kCancel;
        EXPECT_EQ(person.messages.front().text == erases, extra);
        if (extra && c.windows.size() == 3) {
            EXPECT_TRUE(person.messages[1].text.startsWith(QStringLiteral("デバイスリセット\n")));
        }
        EXPECT_EQ(KeyPasskeyUsers().size(), c.leftOnKey);
    }
}

}  // namespace
}  // namespace kelvora::test
