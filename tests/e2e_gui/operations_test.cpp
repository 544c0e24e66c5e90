// Every button on every row of the key-configuration table, on a standard CTAP2 key, a key
// with the vendor command set, one with its own bio subcommands and a legacy key: which windows the
// person meets, what the main window shows afterwards and what the key holds.
#include <algorithm>

#include "e2e_fixture.h"
#include "platform/text.h"

namespace kelvora::test {
namespace {

const KeyKind kKinds[] = {kStandardKey, kVendorSetKey, kOwnBioKey, kLegacyKey};

using Windows = std::vector<QString>;

// A key configuration and what the person picks in the choice windows.
struct OperationStart {
    const char* name;
    std::string pin;
    std::vector<std::uint16_t> templateSlots;
    std::uint32_t option = kChosePin;
    std::uint32_t mode = kChoseFingerprint;
};

class OperationsTest : public EndToEndTest {
  protected:
    void Start(const KeyKind& kind, const OperationStart& given) {
        person = Person{};
        person.option = given.option;
        person.mode = given.mode;
        PlugKey(kind, given.pin, given.templateSlots);
        Open();
        ASSERT_TRUE(KeyShown());
    }
};

TEST_F(OperationsTest, EnrolOnEveryConfiguration) {
    struct Case {
        OperationStart given;
        Windows ctapWindows;  // what a CTAP2 key leads through
        Windows legacyWindows;
        bool pinAfterwards;
    };
    const Case cases[] = {
        {{"new key, fingerprint only", "", {}, kChosePin, kChoseFingerprint},
         {kModeLayout, kEnrollLayout},
         {kModeLayout, kEnrollLayout},
         false},
        {{"new key, PIN or fingerprint", "", {}, kChosePin, kChosePin},
         {kModeLayout, kSetPinLayout, kMessageBoxLayout, kEnrollLayout},
         {kModeLayout, kSetPinLayout, kMessageBoxLayout, kEnrollLayout},
         true},
        {{"PIN only", "1234", {}}, {kVerifyPinLayout, kEnrollLayout}, {kEnrollLayout}, true},
        // A legacy key that holds fingerprints asks for one of them (it cannot prove a PIN).
        {{"fingerprint only", "", {0}},
         {kVerifyFingerLayout, kEnrollLayout},
         {kVerifyFingerLayout, kEnrollLayout},
         false},
        {{"both, proved by PIN", "1234", {0}, kChosePin},
         {kOptionLayout, kVerifyPinLayout, kEnrollLayout},
         {kVerifyFingerLayout, kEnrollLayout},
         true},
        {{"both, proved by finger", "1234", {0}, kChoseFingerprint},
         {kOptionLayout, kVerifyFingerLayout, kEnrollLayout},
         {kVerifyFingerLayout, kEnrollLayout},
         true},
    };
    for (const KeyKind& kind : kKinds) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(kind.name) + ": " + c.given.name);
            Start(kind, c.given);
            ASSERT_TRUE(Click("btn_Enroll"));
            const Windows& expected = kind.legacy() ? c.legacyWindows : c.ctapWindows;
            EXPECT_EQ(Describe(person.opened), Describe(expected));
            EXPECT_GE(person.samplesShown, 3) << "a picture for each sample taken";
            EXPECT_EQ(KeySlots().size(), c.given.templateSlots.size() + 1);
            EXPECT_EQ(ListedSlots(), KeySlots());
            EXPECT_EQ(KeyHasPin(), c.pinAfterwards);
            EXPECT_EQ(Enabled("btn_change_pin"), c.pinAfterwards);
            EXPECT_TRUE(Enabled("btn_Verify"));
        }
    }
}

TEST_F(OperationsTest, DeleteOnEveryConfiguration) {
    struct Case {
        OperationStart given;
        std::uint16_t slot;
        Windows ctapWindows;
        Windows legacyWindows;
        bool removed;
        // A legacy key has no command that proves a PIN, so a removal that needs the PIN
        // cannot go ahead there.
        bool removedFromLegacy;
    };
    const Case cases[] = {
        {{"fingerprint only", "", {0, 1}},
         1,
         {kVerifyFingerLayout},
         {kVerifyFingerLayout},
         true,
         true},
        {{"fingerprint only, the last one", "", {0}},
         0,
         {kMessageBoxLayout},
         {kMessageBoxLayout},
         false,
         false},
        {{"both, proved by PIN", "1234", {0, 1}, kChosePin},
         1,
         {kOptionLayout, kVerifyPinLayout},
         {kOptionLayout, kVerifyPinLayout},
         true,
         false},
        {{"both, proved by finger", "1234", {0, 1}, kChoseFingerprint},
         0,
         {kOptionLayout, kVerifyFingerLayout},
         {kOptionLayout, kVerifyFingerLayout},
         true,
         true},
        {{"both, the last one needs the PIN", "1234", {0}, kChoseFingerprint},
         0,
         {kVerifyPinLayout},
         {kVerifyPinLayout},
         true,
         false},
    };
    // A key whose status byte reports no fingerprint still has the listed ones deleted.
    for (const KeyKind& kind :
         {kStandardKey, kVendorSetKey, kOwnBioKey, kLegacyKey, kLegacyKeyWithoutFlag}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(kind.name) + ": " + c.given.name);
            Start(kind, c.given);
            ASSERT_TRUE(SelectSlot(c.slot));
            ASSERT_TRUE(Click("btn_Delete"));
            const Windows& expected = kind.legacy() ? c.legacyWindows : c.ctapWindows;
            EXPECT_EQ(Describe(person.opened), Describe(expected));
            const std::vector<std::uint16_t> left = KeySlots();
            EXPECT_EQ(std::count(left.begin(), left.end(), c.slot) == 0,
                      kind.legacy() ? c.removedFromLegacy : c.removed);
            EXPECT_EQ(ListedSlots(), left);
            if (!c.removed && !person.messages.empty()) {
                EXPECT_EQ(person.messages.front().text,
                          QStringLiteral(
                              "PIN認証が無効のため、最後の指紋レコードを削除できませんでした。"));
            }
        }
    }
}

TEST_F(OperationsTest, RenameOnEveryConfiguration) {
    struct Case {
        OperationStart given;
        Windows ctapWindows;
    };
    const Case cases[] = {
        {{"fingerprint only", "", {0, 1}}, {kVerifyFingerLayout, kEditNameLayout}},
        {{"both, proved by PIN", "1234", {0, 1}, kChosePin},
         {kOptionLayout, kVerifyPinLayout, kEditNameLayout}},
        {{"both, proved by finger", "1234", {0, 1}, kChoseFingerprint},
         {kOptionLayout, kVerifyFingerLayout, kEditNameLayout}},
    };
    // A legacy key is always asked for a finger (its PIN is not among the flags GetInfo
    // sets), and it has no names: the rename is refused.
    const Windows legacyWindows{kVerifyFingerLayout, kEditNameLayout, kMessageBoxLayout};
    for (const KeyKind& kind : kKinds) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(kind.name) + ": " + c.given.name);
            Start(kind, c.given);
            ASSERT_TRUE(SelectSlot(1));
            ASSERT_TRUE(Click("btn_edit"));
            EXPECT_EQ(Describe(person.opened),
                      Describe(kind.legacy() ? legacyWindows : c.ctapWindows));
            const bool renamed = key->SnapshotState().templates.at(1).name.ends_with(
                text::Utf8ToAnsi(person.newName.toStdString()).value());
            EXPECT_EQ(renamed, !kind.legacy());
            if (kind.legacy()) {
                ASSERT_EQ(person.messages.size(), 1U);
                EXPECT_EQ(person.messages[0].text, QStringLiteral("指紋名の変更に失敗しました。"));
            }
        }
    }
}

TEST_F(OperationsTest, NewKeyAndPinOnlyKeyCannotDeleteOrRename) {
    for (const KeyKind& kind : kKinds) {
        for (const std::string pin : {"", "1234"}) {
            SCOPED_TRACE(std::string(kind.name) + (pin.empty() ? ": new key" : ": PIN only"));
            Start(kind, {"", pin, {}});
            EXPECT_FALSE(Enabled("btn_Delete"));
            EXPECT_FALSE(Enabled("btn_edit"));
            EXPECT_FALSE(Enabled("btn_Verify"));
            EXPECT_TRUE(Enabled("btn_Enroll"));
            EXPECT_EQ(Enabled("btn_change_pin"), !pin.empty());
        }
    }
}

TEST_F(OperationsTest, VerifyChangePinAndReset) {
    for (const KeyKind& kind : kKinds) {
        SCOPED_TRACE(kind.name);
        Start(kind, {"both", "1234", {0, 1}});

        ASSERT_TRUE(Click("btn_Verify"));
        EXPECT_EQ(Describe(person.opened), Describe(Windows{kVerifyFingerLayout}));

        person.opened.clear();
        ASSERT_TRUE(Click("btn_change_pin"));
        EXPECT_EQ(Describe(person.opened),
                  Describe((Windows{kChangePinLayout, kMessageBoxLayout})));
        EXPECT_TRUE(KeyPinIs(person.newPin));

        person.opened.clear();
        person.acts[kMessageBoxLayout] = Act::kCancel;
        ASSERT_TRUE(Click("btn_Format"));
        EXPECT_EQ(Describe(person.opened), Describe(Windows{kMessageBoxLayout}));
        EXPECT_EQ(person.messages.back().title, QStringLiteral("警告"));
        EXPECT_EQ(KeySlots().size(), 2U) << "a cancelled reset sends nothing";

        person.opened.clear();
        person.acts.clear();
        ASSERT_TRUE(Click("btn_Format"));
        EXPECT_EQ(Describe(person.opened), Describe((Windows{kMessageBoxLayout, kResetLayout})));
        EXPECT_TRUE(KeySlots().empty());
        EXPECT_FALSE(KeyHasPin());
        EXPECT_TRUE(ListedSlots().empty());
        EXPECT_FALSE(Enabled("btn_change_pin"));
        EXPECT_TRUE(window->State().pinToken.Empty());
    }
}

}  // namespace
}  // namespace kelvora::test
