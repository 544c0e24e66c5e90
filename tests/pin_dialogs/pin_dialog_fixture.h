// A virtual key connected through the client's HID seam, and a way to run a PIN dialog
// modally while a script plays the user: message boxes are answered with OK and recorded,
// device changes of the virtual keys reach the windows as the platform layer would deliver
// them, and the watchdog's pauses last a millisecond.
#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "dialogs/pin/device_watchdog.h"
#include "dialogs/pin/pin_dialog_base.h"
#include "tests/common/fakes.h"
#include "tests/common/ui_wait.h"
#include "toolkit/test_driver.h"
#include "vkey/virtual_hid_backend.h"
#include "vkey/virtual_key.h"

namespace kelvora::test {

inline constexpr int kCtapModel = 3;
inline constexpr int kLegacyModel = 1;
inline constexpr std::uint8_t kAesFirmware = 17;

// Pauses of a millisecond, and the periods the watchdogs asked for.
class FastPacer final : public WatchdogPacer {
  public:
    void Pause(std::uint32_t periodMs, StopSignal& stop) override;
    std::vector<std::uint32_t> Periods() const;

  private:
    mutable std::mutex mutex_;
    std::vector<std::uint32_t> periods_;
};

struct ShownBox {
    QString text;
    QString icon;  // tells the type: "logo_32.png" for 0, "Png_Msg_error.png" for 0x10
    bool tokenWhenShown = false;  // keyState.pinToken held a token while the box was up
};

// What a run of a dialog produced.
struct DialogRun {
    int modalResult = -1;
    bool closedByScript = false;  // false: the dialog was still open when the script ended
    std::vector<ShownBox> boxes;
};

QString Repeat(char ch, int count);
// 22 kanji: 22 characters, but 66 bytes in UTF-8, more than a key takes.
QString Kanji22();

class PinDialogTest : public ::testing::Test {
  protected:
    void TearDown() override;

    // Plugs in a key of `model` and connects to it; `pin` (UTF-8) is set first if given.
    void StartKey(int model, const std::string& pin = {});
    bool Legacy() const;
    // A PIN of a good length that the attached key's family refuses, with the text shown:
    // 22 kanji (66 bytes) for a CTAP2 key; for a legacy model, which takes the kanji, four
    // characters outside code page 932 (they would all reach the key as '?').
    QString RefusedByFamily() const;
    const char* RefusedByFamilyText() const;
    // Pulls the key out and plugs it in again (the key's PIN session starts afresh).
    void Replug();

    // Creates `dialog`, shows it modally and plays `script` once it is up. A dialog the
    // script leaves open is closed afterwards with kLeftOpen.
    DialogRun Run(CPinDialogBase& dialog, const std::function<void(UiDriver&)>& script);
    static constexpr int kLeftOpen = 99;

    // Runs `onBox` when a message box comes up (before it is answered).
    std::function<void(const ShownBox&)> onBox;

    // Whether the key takes `pin` now: a PIN token on a CTAP2 key, a change to itself on
    // a legacy model. Leaves the retry counter as it was on success only.
    bool KeyAccepts(const std::string& pin);
    int KeyRetries();

    FastPacer pacer;
    vkey::ManualClock keyClock;
    std::unique_ptr<vkey::VirtualKey> key;
    std::unique_ptr<vkey::VirtualKey> otherKey;
    vkey::VirtualHidBackend backend;
    std::string keyPath;
    KeyState keyState;
    FakeClock clock;
    CapturedDebugOutput debug;
    FidoDevice device{backend, keyState, clock, debug};
};

}  // namespace kelvora::test
