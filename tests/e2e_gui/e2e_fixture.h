// The whole tool on virtual keys: the main window with its real operations and dialogs, a
// person answering every window it opens, and keys that can be plugged, pulled and looked
// into afterwards. Nothing waits for long: the dialogs' pauses pass in a moment of real time.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/main_wnd.h"
#include "person.h"
#include "platform/clock.h"
#include "tests/common/quick_clock.h"
#include "toolkit/list.h"
#include "toolkit/test_driver.h"
#include "vkey/clock.h"
#include "vkey/virtual_hid_backend.h"
#include "vkey/virtual_key.h"

namespace kelvora::test {

// The key families every operation must work on.
struct KeyKind {
    const char* name;
    int model;
    std::uint8_t firmware;
    // The legacy status bytes never report a fingerprint.
    bool statusOmitsFingerprints = false;
    // GetInfo reports CTAP 2.1, whose credential management takes the standard command byte.
    bool ctap21 = false;
    bool legacy() const { return model <= 2; }
};
inline constexpr KeyKind kStandardKey{"standard", 3, 17};
inline constexpr KeyKind kVendorSetKey{"vendor command set", 3, 18};
inline constexpr KeyKind kOwnBioKey{"own bio subcommands", 6, 17};
inline constexpr KeyKind kLegacyKey{"legacy", 1, 17};
inline constexpr KeyKind kLegacyKeyWithoutFlag{"legacy, status without fingerprints", 1, 17, true};
inline constexpr KeyKind kCtap21Key{"CTAP 2.1", 6, 17, false, true};

class QuickPacer final : public WatchdogPacer {
  public:
    void Pause(std::uint32_t periodMs, StopSignal& stop) override;
};

class EndToEndTest : public ::testing::Test {
  protected:
    EndToEndTest();
    ~EndToEndTest() override;

    // A key of `kind` holding a PIN (when `pin` is not empty) and fingerprints of fingers
    // 1, 2, ... in `templateSlots`, plugged in. Replaces the previous key.
    vkey::VirtualKey& PlugKey(const KeyKind& kind, const std::string& pin,
                              const std::vector<std::uint16_t>& templateSlots);
    // Opens the main window on whatever is plugged in; `resetAtStart` as the -E argument sets it.
    void Open(bool resetAtStart = false);

    // Clicks a button of the main window; the whole operation runs before it returns.
    bool Click(const char* button);
    // Selects the list row showing `slot`.
    bool SelectSlot(std::uint16_t slot);
    // Pulls the key out or plugs it back in, and waits until the window shows it.
    void Unplug();
    void Replug();
    bool KeyShown() const;

    // What the window shows.
    QString Status() const;
    bool Enabled(const char* control) const;
    std::vector<std::uint16_t> ListedSlots() const;
    // What the key holds.
    std::vector<std::uint16_t> KeySlots() const;
    bool KeyPinIs(const std::string& pin) const;
    bool KeyHasPin() const;
    // Gives the key `count` sample passkeys, and the user names of those it holds.
    void AddPasskeys(std::size_t count);
    std::vector<std::string> KeyPasskeyUsers() const;

    Person person;
    vkey::VirtualKey* key = nullptr;
    std::unique_ptr<CMainWnd> window;
    std::unique_ptr<UiDriver> ui;

  private:
    vkey::ManualClock keyClock_{1000};
    QuickClock sessionClock_;
    QuickClock workerClock_;
    QuickPacer pacer_;
    std::vector<std::unique_ptr<vkey::VirtualKey>> keys_;  // outlive the backend
    vkey::VirtualHidBackend backend_;
    ScopedModalHook hook_;
};

// How many of the tool's top-level windows are on the screen.
int VisibleWindows();

}  // namespace kelvora::test
