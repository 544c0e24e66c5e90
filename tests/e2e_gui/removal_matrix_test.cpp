// The key pulled out before each exchange of each operation in turn: the operation ends
// without a hang, no dialog stays open, the window shows that no key is there, the key keeps
// a consistent state, and once it is plugged in again the window shows what it holds.
#include <QApplication>
#include <QWidget>
#include <algorithm>
#include <cstdio>
#include <functional>

#include "e2e_fixture.h"

namespace kelvora::test {
namespace {

// A legacy key is polled while it waits for a finger, so its sequences have hundreds of
// exchanges that all look alike: every one of the first kEveryExchange, then steps that grow
// with the index.
constexpr std::uint64_t kEveryExchange = 24;

std::uint64_t NextIndex(std::uint64_t k) {
    return k < kEveryExchange ? k + 1 : k + std::max<std::uint64_t>(kEveryExchange, k / 4);
}

struct Operation {
    const char* name;
    std::string pin;
    std::vector<std::uint16_t> templateSlots;
    std::uint32_t mode = kChoseFingerprint;  // how a new key is to be used
    // Runs the operation on the open window; false when it could not even start.
    std::function<bool()> run;
};

class RemovalMatrixTest : public EndToEndTest {
  protected:
    void Start(const KeyKind& kind, const Operation& operation) {
        person = Person{};
        person.mode = operation.mode;
        PlugKey(kind, operation.pin, operation.templateSlots);
        Open();
    }

    // The exchanges the operation has when nothing goes wrong.
    std::uint64_t CountExchanges(const KeyKind& kind, const Operation& operation) {
        Start(kind, operation);
        const std::uint64_t before = key->requestCount();
        EXPECT_TRUE(operation.run());
        return key->requestCount() - before;
    }

    void RunMatrix(const KeyKind& kind, const Operation& operation) {
        const std::uint64_t exchanges = CountExchanges(kind, operation);
        ASSERT_GT(exchanges, 0U) << operation.name;
        int pulled = 0;
        for (std::uint64_t k = 0; k < exchanges; k = NextIndex(k)) {
            SCOPED_TRACE(std::string(kind.name) + ": " + operation.name + ", before exchange " +
                         std::to_string(k) + " of " + std::to_string(exchanges));
            Start(kind, operation);
            const vkey::State was = key->SnapshotState();
            key->UnplugBeforeRequest(k);
            operation.run();
            if (key->plugged()) {
                // A polled sequence can be shorter this time; nothing was pulled out.
                key->DisarmUnplug();
                continue;
            }
            ASSERT_TRUE(KELVORA_WAIT_FOR_UI(!KeyShown())) << "the no-key state";
            EXPECT_EQ(VisibleWindows(), 1) << "a dialog stayed open";
            EXPECT_TRUE(ListedSlots().empty());
            EXPECT_FALSE(Enabled("btn_Enroll"));
            EXPECT_TRUE(window->State().pinToken.Empty());
            // Whatever the key kept is whole: the PIN is the old or the new one, templates
            // only grow by the one enrolled or lose the one deleted.
            const vkey::State now = key->SnapshotState();
            EXPECT_TRUE(!now.pinHash || now.pinHash == was.pinHash || KeyPinIs(person.pin) ||
                        KeyPinIs(person.newPin));
            EXPECT_LE(now.templates.size(), was.templates.size() + 1);
            EXPECT_GE(now.templates.size() + 1, was.templates.size());

            Replug();
            EXPECT_TRUE(KELVORA_WAIT_FOR_UI(ListedSlots() == KeySlots()))
                << "the list after the key came back";
            ++pulled;
        }
        (void)std::fprintf(stderr, "%s, %s: %llu exchanges, pulled out before %d of them\n",
                           kind.name, operation.name, static_cast<unsigned long long>(exchanges),
                           pulled);
    }
};

TEST_F(RemovalMatrixTest, EveryOperationOnEveryKeyFamily) {
    const Operation operations[] = {
        {"connect",
         "1234",
         {0, 1},
         kChoseFingerprint,
         [this] {
             window.reset();
             Open();
             return true;
         }},
        {"set the first PIN and enrol", "", {}, kChosePin, [this] { return Click("btn_Enroll"); }},
        {"verify the PIN and enrol",
         "1234",
         {},
         kChoseFingerprint,
         [this] { return Click("btn_Enroll"); }},
        {"enrol after a finger",
         "",
         {0},
         kChoseFingerprint,
         [this] { return Click("btn_Enroll"); }},
        {"change the PIN",
         "1234",
         {0},
         kChoseFingerprint,
         [this] { return Click("btn_change_pin"); }},
        {"verify a finger", "", {0}, kChoseFingerprint, [this] { return Click("btn_Verify"); }},
        {"rename", "", {0, 1}, kChoseFingerprint, [this] { return Click("btn_edit"); }},
        {"delete", "", {0, 1}, kChoseFingerprint, [this] { return Click("btn_Delete"); }},
        {"reset", "1234", {0}, kChoseFingerprint, [this] { return Click("btn_Format"); }},
    };
    for (const KeyKind& kind : {kStandardKey, kVendorSetKey, kLegacyKey}) {
        for (const Operation& operation : operations) {
            RunMatrix(kind, operation);
        }
    }
}

}  // namespace
}  // namespace kelvora::test
