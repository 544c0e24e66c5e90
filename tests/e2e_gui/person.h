// Plays the person in front of the tool: answers every window an operation opens, as it
// opens, the way a test tells it to (type the PIN, pick a choice, touch the sensor, cancel,
// or pull the key out), and remembers what it was shown.
#pragma once

#include <QString>
#include <atomic>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "dialogs/fingerprint/choice_wnds.h"
#include "tests/common/ui_wait.h"
#include "toolkit/window_impl_base.h"
#include "vkey/clock.h"
#include "vkey/virtual_key.h"

namespace kelvora::test {

inline const QString kVerifyPinLayout = QStringLiteral("verifyPIN.xml");
inline const QString kSetPinLayout = QStringLiteral("SetPIN.xml");
inline const QString kChangePinLayout = QStringLiteral("ChangePIN.xml");
inline const QString kOptionLayout = QStringLiteral("VerifyOption.xml");
inline const QString kModeLayout = QStringLiteral("VerifyMode.xml");
inline const QString kVerifyFingerLayout = QStringLiteral("verifyFingerprint.xml");
inline const QString kEnrollLayout = QStringLiteral("registFingerprint.xml");
inline const QString kEditNameLayout = QStringLiteral("EditFingerName.xml");
inline const QString kResetLayout = QStringLiteral("resetDevice.xml");
inline const QString kMessageBoxLayout = QStringLiteral("MsgBox.xml");
inline const QString kPasskeysLayout = QStringLiteral("managePasskeys.xml");

// The layouts of `windows` in one line, for comparing the ways operations take.
std::string Describe(const std::vector<QString>& windows);

// What the person does in a window.
enum class Act {
    kAnswer,  // what the window asks for: the PIN, the choice, the finger, OK
    kCancel,  // the close button (Cancel in a message box)
    kUnplug,  // pulls the key out while the window is open, and waits until it closes
    // Answers, and has the key pulled out just as the next exchange reaches it: for a window
    // whose worker is done with the key before anyone could reach the plug.
    kAnswerThenUnplugAtNextExchange,
};

struct ShownMessage {
    QString title;
    QString text;
};

class Person {
  public:
    // The key whose sensor and plug the person uses, and the key's clock, which the person
    // moves on while waiting for the key to give up on a finger; may be swapped between
    // operations.
    void UseKey(vkey::VirtualKey* key, vkey::ManualClock* keyClock) {
        key_ = key;
        keyClock_ = keyClock;
    }

    // Answers every modal window until the scope of the returned hook ends (see Acting).
    void Handle(WindowImplBase& window);

    // Called with every window as it opens, before the person acts in it.
    std::function<void(WindowImplBase&)> onOpen;
    // Answers the change-PIN dialog and message boxes through the accessibility interfaces
    // alone, as with a screen reader.
    bool throughAccessibility = false;

    // What to do in the window built from `layout` (kAnswer unless told otherwise).
    std::map<QString, Act> acts;
    std::string pin = "1234";
    std::string newPin = "5678";             // the change-PIN dialog's new PIN
    std::uint32_t option = kChosePin;        // the verify-option window
    std::uint32_t mode = kChoseFingerprint;  // the verify-mode window of a new key
    int finger = 1;                          // laid on the sensor whenever one is asked for
    QString newName = QStringLiteral("右手の親指");
    // The passkey window's row the person deletes (none: the person only looks).
    int passkeyRowToDelete = -1;

    // Every layout opened, in order, and every message box.
    std::vector<QString> opened;
    std::vector<ShownMessage> messages;
    // How often the enrollment's picture moved on after a touch: its progress was shown.
    int samplesShown = 0;
    // The passkey window's rows ("site / user") after each of its readings.
    std::vector<std::vector<QString>> passkeyReadings;

  private:
    Act ActFor(const QString& layout) const;
    void AnswerMessageBox(WindowImplBase& box, Act act);
    bool AnswerThroughAccessibility(WindowImplBase& window);
    void TouchUntilClosed(WindowImplBase& window);
    void UsePasskeyWindow(WindowImplBase& window);
    void UnplugAndWait(WindowImplBase& window);

    vkey::VirtualKey* key_ = nullptr;
    vkey::ManualClock* keyClock_ = nullptr;
};

}  // namespace kelvora::test
