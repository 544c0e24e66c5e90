// The person who stops half-way: cancels in any window of an operation, or pulls the key out
// while one is open (and its worker is talking to the key); the edge of the key's capacity;
// the reset asked for at start.
#include <QApplication>
#include <QWidget>
#include <algorithm>
#include <numeric>
#include <optional>

#include "e2e_fixture.h"
#include "platform/text.h"

namespace kelvora::test {
namespace {

using Windows = std::vector<QString>;

// What an operation leaves on the key when it runs to its end.
enum class Outcome { kEnrolled, kDeleted, kRenamed, kNothing, kPinChanged, kReset };

// The key an operation starts on, and what the person picks in the choice windows.
struct Given {
    std::string pin;
    std::vector<std::uint16_t> templateSlots;
    std::uint32_t choice;
};

struct Path {
    const char* name;
    const char* button;
    Given given;
    Windows ctapWindows;
    Windows legacyWindows;  // empty: a legacy key takes the same way as another row
    Outcome ctapOutcome;
    Outcome legacyOutcome;
};

Path Way(const char* name, const char* button, Given given, Windows ctap, Windows legacy,
         Outcome outcome, std::optional<Outcome> legacyOutcome = std::nullopt) {
    return {name,
            button,
            std::move(given),
            std::move(ctap),
            std::move(legacy),
            outcome,
            legacyOutcome.value_or(outcome)};
}

const std::uint16_t kSelected = 1;  // the row a delete or rename starts from

// Every way through every operation, with the windows it opens.
const std::vector<Path>& Paths() {
    using enum Outcome;
    static const std::vector<Path> paths = {
        Way("enrol on a new key, fingerprint only", "btn_Enroll", {"", {}, kChoseFingerprint},
            {kModeLayout, kEnrollLayout}, {kModeLayout, kEnrollLayout}, kEnrolled),
        Way("enrol on a new key, PIN or fingerprint", "btn_Enroll", {"", {}, kChosePin},
            {kModeLayout, kSetPinLayout, kMessageBoxLayout, kEnrollLayout},
            {kModeLayout, kSetPinLayout, kMessageBoxLayout, kEnrollLayout}, kEnrolled),
        Way("enrol, PIN only", "btn_Enroll", {"1234", {}, kChosePin},
            {kVerifyPinLayout, kEnrollLayout}, {kEnrollLayout}, kEnrolled),
        Way("enrol, fingerprint only", "btn_Enroll", {"", {0}, kChosePin},
            {kVerifyFingerLayout, kEnrollLayout}, {kVerifyFingerLayout, kEnrollLayout}, kEnrolled),
        Way("enrol, both, proved by PIN", "btn_Enroll", {"1234", {0}, kChosePin},
            {kOptionLayout, kVerifyPinLayout, kEnrollLayout}, {}, kEnrolled),
        Way("enrol, both, proved by finger", "btn_Enroll", {"1234", {0}, kChoseFingerprint},
            {kOptionLayout, kVerifyFingerLayout, kEnrollLayout}, {}, kEnrolled),
        Way("delete, fingerprint only", "btn_Delete", {"", {0, 1}, kChosePin},
            {kVerifyFingerLayout}, {kVerifyFingerLayout}, kDeleted),
        // A legacy key has no command that proves a PIN.
        Way("delete, both, proved by PIN", "btn_Delete", {"1234", {0, 1}, kChosePin},
            {kOptionLayout, kVerifyPinLayout}, {kOptionLayout, kVerifyPinLayout}, kDeleted,
            kNothing),
        Way("delete, both, proved by finger", "btn_Delete", {"1234", {0, 1}, kChoseFingerprint},
            {kOptionLayout, kVerifyFingerLayout}, {kOptionLayout, kVerifyFingerLayout}, kDeleted),
        Way("delete the last one", "btn_Delete", {"1234", {kSelected}, kChoseFingerprint},
            {kVerifyPinLayout}, {kVerifyPinLayout}, kDeleted, kNothing),
        // A legacy key is always asked for a finger and refuses the new name.
        Way("rename, fingerprint only", "btn_edit", {"", {0, 1}, kChosePin},
            {kVerifyFingerLayout, kEditNameLayout},
            {kVerifyFingerLayout, kEditNameLayout, kMessageBoxLayout}, kRenamed, kNothing),
        Way("rename, both, proved by PIN", "btn_edit", {"1234", {0, 1}, kChosePin},
            {kOptionLayout, kVerifyPinLayout, kEditNameLayout}, {}, kRenamed),
        Way("rename, both, proved by finger", "btn_edit", {"1234", {0, 1}, kChoseFingerprint},
            {kOptionLayout, kVerifyFingerLayout, kEditNameLayout}, {}, kRenamed),
        Way("verify", "btn_Verify", {"1234", {0, 1}, kChosePin}, {kVerifyFingerLayout},
            {kVerifyFingerLayout}, kNothing),
        Way("change PIN", "btn_change_pin", {"1234", {0, 1}, kChosePin},
            {kChangePinLayout, kMessageBoxLayout}, {kChangePinLayout, kMessageBoxLayout},
            kPinChanged),
        Way("reset", "btn_Format", {"1234", {0, 1}, kChosePin}, {kMessageBoxLayout, kResetLayout},
            {kMessageBoxLayout, kResetLayout}, kReset),
    };
    return paths;
}

const char* const kButtons[] = {"btn_Enroll", "btn_Delete", "btn_edit",
                                "btn_Verify", "btn_Format", "btn_change_pin"};

// What the main window shows, to compare before and after an interruption.
struct Shown {
    QString status;
    std::vector<std::uint16_t> rows;
    std::vector<bool> enabled;
};

class InterruptionsTest : public EndToEndTest {
  protected:
    void Start(const KeyKind& kind, const Path& path) {
        person = Person{};
        person.option = path.given.choice;
        person.mode = path.given.choice;
        PlugKey(kind, path.given.pin, path.given.templateSlots);
        Open();
        ASSERT_TRUE(KeyShown());
        if (std::string(path.button) == "btn_Delete" || std::string(path.button) == "btn_edit") {
            ASSERT_TRUE(SelectSlot(kSelected));
        }
    }

    Shown Look() const {
        Shown shown{Status(), ListedSlots(), {}};
        for (const char* button : kButtons) {
            shown.enabled.push_back(Enabled(button));
        }
        return shown;
    }

    void ExpectSameShown(const Shown& before) const {
        const Shown now = Look();
        EXPECT_EQ(now.status.toStdString(), before.status.toStdString());
        EXPECT_EQ(now.rows, before.rows);
        for (std::size_t i = 0; i < std::size(kButtons); ++i) {
            EXPECT_EQ(now.enabled[i], before.enabled[i]) << kButtons[i];
        }
    }

    // The list keeps its rows, hidden and disabled, until the next connection.
    void ExpectNoKeyShown() const {
        EXPECT_TRUE(KELVORA_WAIT_FOR_UI(!KeyShown()));
        EXPECT_EQ(Status().toStdString(), "デバイスが見つかりません");
        for (const char* control : kButtons) {
            EXPECT_FALSE(Enabled(control)) << control;
        }
        EXPECT_FALSE(Enabled("list_Fingerprint"));
    }

    void ExpectOutcome(Outcome outcome, const vkey::State& before) const {
        const vkey::State after = key->SnapshotState();
        EXPECT_EQ(ListedSlots(), KeySlots());
        switch (outcome) {
            case Outcome::kEnrolled:
                EXPECT_EQ(after.templates.size(), before.templates.size() + 1);
                break;
            case Outcome::kDeleted:
                EXPECT_EQ(after.templates.count(kSelected), 0U);
                EXPECT_EQ(after.templates.size() + 1, before.templates.size());
                break;
            case Outcome::kRenamed:
                EXPECT_TRUE(after.templates.at(kSelected).name.ends_with(
                    text::Utf8ToAnsi(person.newName.toStdString()).value()));
                break;
            case Outcome::kNothing:
                EXPECT_EQ(KeySlots().size(), before.templates.size());
                EXPECT_EQ(after.pinHash, before.pinHash);
                break;
            case Outcome::kPinChanged:
                EXPECT_TRUE(KeyPinIs(person.newPin));
                break;
            case Outcome::kReset:
                EXPECT_TRUE(after.templates.empty());
                EXPECT_FALSE(after.pinSet());
                break;
        }
    }
};

// The windows of `path` on `kind`, or nothing when another row covers it.
const Windows& WindowsOf(const Path& path, const KeyKind& kind) {
    return kind.legacy() ? path.legacyWindows : path.ctapWindows;
}

Windows Prefix(const Windows& windows, std::size_t last) {
    return Windows(windows.begin(), windows.begin() + static_cast<std::ptrdiff_t>(last) + 1);
}

// Windows a person can close: the fingerprint check and the reset wait for the finger, and
// the other message boxes only inform.
bool Cancellable(const Path& path, const QString& layout) {
    if (layout == kMessageBoxLayout) {
        return std::string(path.button) == "btn_Format";
    }
    return layout != kVerifyFingerLayout && layout != kResetLayout;
}

TEST_F(InterruptionsTest, CancelInAnyWindowChangesNothing) {
    for (const KeyKind& kind : {kStandardKey, kVendorSetKey, kLegacyKey}) {
        for (const Path& path : Paths()) {
            const Windows& windows = WindowsOf(path, kind);
            for (std::size_t at = 0; at < windows.size(); ++at) {
                if (!Cancellable(path, windows[at])) {
                    continue;
                }
                SCOPED_TRACE(std::string(kind.name) + ": " + path.name + ", cancelled in " +
                             windows[at].toStdString());
                Start(kind, path);
                const vkey::State before = key->SnapshotState();
                Shown shown = Look();
                person.acts[windows[at]] = Act::kCancel;
                ASSERT_TRUE(Click(path.button));
                EXPECT_EQ(Describe(person.opened), Describe(Prefix(windows, at)));

                // Only a PIN set before the cancel stays.
                const auto setPin = std::find(windows.begin(), windows.end(), kSetPinLayout);
                const bool pinSetOnTheWay = setPin < windows.begin() + at;
                EXPECT_EQ(KeySlots().size(), before.templates.size());
                if (pinSetOnTheWay) {
                    EXPECT_TRUE(KeyPinIs(person.pin));
                    shown.enabled.back() = true;  // the change-PIN button
                } else {
                    EXPECT_EQ(key->SnapshotState().pinHash, before.pinHash);
                }
                ExpectSameShown(shown);
                EXPECT_EQ(ListedSlots(), KeySlots());
            }
        }
    }
}

TEST_F(InterruptionsTest, UnplugInAnyWindowEndsTheOperation) {
    for (const KeyKind& kind : {kStandardKey, kLegacyKey}) {
        for (const Path& path : Paths()) {
            const Windows& windows = WindowsOf(path, kind);
            for (std::size_t at = 0; at < windows.size(); ++at) {
                SCOPED_TRACE(std::string(kind.name) + ": " + path.name + ", unplugged in " +
                             windows[at].toStdString());
                Start(kind, path);
                const Windows expected = Prefix(windows, at);
                person.acts[windows[at]] = Act::kUnplug;
                if (kind.legacy() && windows[at] == kResetLayout) {
                    // A legacy key resets at once, often before the window is even shown;
                    // it is pulled out as the reset reaches it instead.
                    person.acts[windows[at - 1]] = Act::kAnswerThenUnplugAtNextExchange;
                }
                ASSERT_TRUE(Click(path.button));
                // Not left for the next plug-in when the person's own pull came first.
                key->DisarmUnplug();
                EXPECT_EQ(Describe(person.opened), Describe(expected));
                EXPECT_EQ(person.messages.size(),
                          static_cast<std::size_t>(
                              std::count(expected.begin(), expected.end(), kMessageBoxLayout)));
                ExpectNoKeyShown();
                EXPECT_EQ(VisibleWindows(), 1) << "a window of the operation was left open";

                // Put back, the key is shown again and the operation runs to its end; a
                // step finished before the key was pulled out stays done.
                Replug();
                EXPECT_EQ(ListedSlots(), KeySlots());
                person.acts.clear();
                person.opened.clear();
                person.messages.clear();
                Windows rerun = windows;
                if (path.given.pin.empty() && KeyHasPin()) {
                    rerun = kind.legacy() ? Windows{kEnrollLayout}
                                          : Windows{kVerifyPinLayout, kEnrollLayout};
                }
                if (KeyPinIs(person.newPin)) {
                    std::swap(person.pin, person.newPin);
                }
                if (std::string(path.button) == "btn_Delete" ||
                    std::string(path.button) == "btn_edit") {
                    ASSERT_TRUE(SelectSlot(kSelected));
                }
                const vkey::State before = key->SnapshotState();
                ASSERT_TRUE(Click(path.button));
                EXPECT_EQ(Describe(person.opened), Describe(rerun));
                ExpectOutcome(kind.legacy() ? path.legacyOutcome : path.ctapOutcome, before);
            }
        }
    }
}

TEST_F(InterruptionsTest, EnrolmentStopsAtFortyNineFingerprints) {
    for (const KeyKind& kind : {kStandardKey, kVendorSetKey, kLegacyKey}) {
        for (const std::uint16_t enrolled : {48, 49}) {
            SCOPED_TRACE(std::string(kind.name) + ": " + std::to_string(enrolled) + " enrolled");
            person = Person{};
            std::vector<std::uint16_t> templateSlots(enrolled);
            std::iota(templateSlots.begin(), templateSlots.end(), std::uint16_t{0});
            PlugKey(kind, "", templateSlots);
            Open();
            ASSERT_TRUE(Click("btn_Enroll"));
            const bool full = enrolled == 49;
            const Windows expected{kVerifyFingerLayout, full ? kMessageBoxLayout : kEnrollLayout};
            EXPECT_EQ(Describe(person.opened), Describe(expected));
            if (full) {
                ASSERT_EQ(person.messages.size(), 1U);
                EXPECT_EQ(person.messages[0].title, QStringLiteral("エラー"));
                EXPECT_EQ(person.messages[0].text, QStringLiteral("メモリが足りません。"));
                EXPECT_EQ(KeySlots(), templateSlots);
            } else {
                templateSlots.push_back(48);
                EXPECT_EQ(KeySlots(), templateSlots);
            }
            EXPECT_EQ(ListedSlots(), KeySlots());
        }
    }
}

TEST_F(InterruptionsTest, ResetAskedForAtStart) {
    for (const KeyKind& kind : {kStandardKey, kLegacyKey}) {
        for (const bool confirmed : {true, false}) {
            SCOPED_TRACE(std::string(kind.name) + (confirmed ? ": confirmed" : ": cancelled"));
            person = Person{};
            if (!confirmed) {
                person.acts[kMessageBoxLayout] = Act::kCancel;
            }
            PlugKey(kind, "1234", {0, 1});
            Open(/*resetAtStart=*/true);
            EXPECT_EQ(Describe(person.opened),
                      Describe(confirmed ? Windows{kMessageBoxLayout, kResetLayout}
                                         : Windows{kMessageBoxLayout}));
            ASSERT_FALSE(person.messages.empty());
            EXPECT_EQ(person.messages[0].title, QStringLiteral("警告"));
            EXPECT_EQ(KeySlots().size(), confirmed ? 0U : 2U);
            EXPECT_EQ(KeyHasPin(), !confirmed);
            EXPECT_EQ(ListedSlots(), KeySlots());
            EXPECT_TRUE(KeyShown());
            EXPECT_EQ(Enabled("btn_change_pin"), !confirmed);
        }
    }
}

}  // namespace
}  // namespace kelvora::test
