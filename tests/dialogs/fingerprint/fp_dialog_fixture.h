// A virtual key connected through the client's HID seam, and a way to run a window modally
// while a script plays the user: message boxes are answered with OK and recorded, device
// changes of the virtual key reach the windows as the platform layer would deliver them,
// and no wait of the tool lasts longer than a moment.
#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "ctap/bio_sequence.h"
#include "dialogs/pin/device_watchdog.h"
#include "platform/debug_output.h"
#include "tests/common/stepping_clock.h"
#include "tests/common/ui_wait.h"
#include "toolkit/test_driver.h"
#include "transport/fido_device.h"
#include "transport/key_state.h"
#include "vkey/virtual_hid_backend.h"
#include "vkey/virtual_key.h"

namespace kelvora::test {

// The controls every progress window shows its picture and its text in.
inline const QString kImage = QStringLiteral("image_show");
inline const QString kText = QStringLiteral("txt_show");

inline constexpr int kCtapModel = 3;
inline constexpr int kLegacyModel = 1;
inline constexpr int kOwnBioModel = 6;  // sixth model: its own bio subcommands, settle delay
inline constexpr std::uint8_t kStandardFirmware = 17;
inline constexpr std::uint8_t kVendorFirmware = 18;  // takes the vendor command bytes

// Watchdog pauses of a millisecond.
// Debug lines from any thread.
class LockedDebugOutput final : public DebugOutput {
  public:
    void Write(std::string_view line) override;

  private:
    std::mutex mutex_;
    std::vector<std::string> lines_;
};

class FastPacer final : public WatchdogPacer {
  public:
    void Pause(std::uint32_t periodMs, StopSignal& stop) override;
};

struct ShownBox {
    QString text;
};

struct WindowRun {
    int modalResult = -1;
    bool closedByScript = false;
    std::vector<ShownBox> boxes;
};

class FpDialogTest : public ::testing::Test {
  protected:
    void TearDown() override;

    // Plugs in a key of `model` (pulling out the previous one) and connects to it.
    void StartKey(int model, std::uint8_t firmware = kStandardFirmware, int samplesPerTemplate = 4);
    // Puts a fingerprint of `finger` into `slot` with the stored name `name`.
    void Enrol(std::uint16_t slot, int finger, const std::string& name = "fp");
    bool Legacy() const;
    // What the main window does when the key is pulled: flags it absent, then the key goes.
    void RemoveKey();

    // Creates `window`, shows it modally and plays `script` once it is up. A window the
    // script leaves open is closed with kLeftOpen, after the key was removed so that a
    // worker ends.
    WindowRun Run(WindowImplBase& window, const std::function<void(UiDriver&)>& script);
    static constexpr int kLeftOpen = 99;

    BioSequenceServices Services() { return BioSequenceServices{workerClock, debug}; }
    // The first byte of every request the key has answered.
    std::vector<std::uint8_t> CommandBytesSeen() const;

    SteppingClock workerClock{10};
    SteppingClock clock{0};  // the session's: its pauses return at once
    FastPacer pacer;
    vkey::ManualClock keyClock;
    // Every key a test plugged in stays alive as long as the backend; `key` is the last.
    std::vector<std::unique_ptr<vkey::VirtualKey>> keys;
    vkey::VirtualKey* key = nullptr;
    vkey::VirtualHidBackend backend;
    KeyState keyState;
    LockedDebugOutput debug;
    FidoDevice device{backend, keyState, clock, debug};
};

}  // namespace kelvora::test
