// The tool's only top-level window: whether a supported key is attached, the key's enrolled
// fingerprints, and the buttons that lead to the management operations. It owns the key
// state and the one session with the key, which every dialog it opens is given.
//
// Everything here runs on the user-interface thread, the key exchanges of the window
// included. Device-interface and power notifications reach it through the toolkit's
// broadcasts, also while one of its dialogs is open.
#pragma once

#include <QTimeZone>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/elevated_restart.h"
#include "ctap/fingerprint_record.h"
#include "ctap/get_info.h"
#include "ctap/identity_policy.h"
#include "dialogs/pin/device_watchdog.h"
#include "platform/clock.h"
#include "platform/elevation.h"
#include "toolkit/list.h"
#include "toolkit/window_impl_base.h"
#include "transport/fido_device.h"
#include "transport/key_state.h"

namespace kelvora {

class CTabLayoutUI;

struct MainWndOptions {
    // The zone enrolment times are shown in.
    QTimeZone timeZone = QTimeZone::systemTimeZone();
    // Administrator rights, which a key seen but not opened may need: whether they are held,
    // and starting the tool again with them.
    Elevation* elevation = &SystemElevation();
    // What that new copy is handed: the arguments this one was started with, and its
    // single-instance claim, which it gives up for the new copy (none: nothing to give up).
    std::vector<std::string> arguments;
    InstanceClaim* instance = nullptr;
    // The session's clock (the settle delay of one model is measured on it).
    Clock* clock = &SystemClock();
    // How long after an arrival the window looks for keys again, and after a removal it
    // shows the no-key state: the system needs a moment before a new interface opens.
    std::uint32_t arrivalDelayMs = 300;
    std::uint32_t removalDelayMs = 100;
    // How the dialogs' watchdogs pause between looks at the key, and what the dialogs'
    // workers pause and stamp with.
    WatchdogPacer* pacer = &RealTimePacer();
    Clock* workerClock = &SystemClock();
};

class CMainWnd : public WindowImplBase, public IListCallbackUI {
  public:
    // `backend` must outlive the window.
    explicit CMainWnd(HidBackend& backend, MainWndOptions options = {});
    ~CMainWnd() override;

    QString GetSkinFolder() override { return QStringLiteral("Skins"); }
    QString GetSkinFile() override { return QStringLiteral("main.xml"); }
    ResourceType GetResourceType() const override { return ResourceType::kZipResource; }
    int GetResourceID() const override { return kSkinResourceId; }
    void InitWindow() override;
    void Notify(TNotifyUI& msg) override;
    LRESULT MessageHandler(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled) override;
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    // The list asks rows for their text; rows carry it in their own labels and user data.
    QString GetItemText(CControlUI* control, int item, int subItem) override;

    // Looks for the preferred supported key and shows what was found.
    void ConnectDevice();
    // Labels, pictures, pages and button enabling for a present key (true) or none. What
    // the key holds is read first (KeyView), then drawn.
    void UpdateDeviceState(bool present);
    // false: empties the list; true: reads the key's fingerprints and rebuilds the rows.
    // Either way nothing changes when GetInfo fails (the key is gone).
    void RefreshFingerprintList(bool rebuild);
    // Fills the zeroed `slotMap` and the template names from the key; false when a legacy
    // model's slots could not be read.
    bool EnumerateFingerprints(SlotMap& slotMap);

    FidoDevice& Device() { return device_; }
    KeyState& State() { return keyState_; }
    const TemplateNames& Names() const { return templateNames_; }
    // Row number to the slot number shown in that row, from the last rebuild.
    const std::map<int, std::uint16_t>& RowMap() const { return rowMap_; }

  private:
    enum TimerId : UINT { kArrivalTimer = 1, kRemovalTimer = 2 };

    // What the window shows of a present key.
    struct KeyView {
        bool fingerprints = false;  // the listing holds at least one
        bool pinSet = false;        // GetInfo reports a PIN
        bool uvConfigured = false;  // the key holds fingerprints (HoldsFingerprints)
        bool passkeys = false;      // the key manages passkeys
    };

    void OnDeviceChange(WPARAM event, const DeviceBroadcast* record);
    void OnTimer(UINT id);
    void OnKeyRemoved();
    void ShowAccessDeniedAdvice();
    void OnClick(const QString& name);
    // Reads what the window shows of the key (and forgets in the key state what the key no
    // longer reports); nothing when the key went while it was read.
    std::optional<KeyView> ReadKeyView();
    // GetInfo into fresh caps; a key that reports no PIN has none in the key state either.
    AuthenticatorCaps ReadCaps();
    // Draw without any exchange with the key.
    void DrawKey(const KeyView& view);
    void DrawNoKey();
    void ShowHelp();
    void ShowAbout();

    // The management operations behind the buttons (main_wnd_operations.cpp and
    // main_wnd_fingerprints.cpp).
    void VerifyFingerprint();
    void EnrollFingerprint();
    // A new key's first-use question (and the PIN it may set); false when the enrollment
    // is not to go on.
    bool SettleFirstUse();
    // The list is refreshed afterwards whatever happened.
    void DeleteFingerprint(std::uintptr_t templateId);
    void ShowRemovalFailure();
    void EditFingerprintName();
    void ResetDevice();
    void ChangePin();
    void ShowWelcome();
    // The passkey window, after the PIN (main_wnd_passkeys.cpp).
    void ManagePasskeys();
    // Before a reset's own warning: the box saying how many passkeys it erases, when the key
    // can tell (a PIN token is held); false when the user cancelled there.
    bool ConfirmPasskeysErased();

    // The steps the operations share.
    int CountFingerprints();
    // Asks for the proof the identity policy requires (the user picks where it says so);
    // true when it was given, `given` then saying which.
    bool ProveIdentity(Proof required, Proof& given);
    // True when the PIN was verified (a token is then held).
    bool RunPinVerification();
    // True when the finger was recognised.
    bool RunFingerprintVerification(const QString& caption);
    // True when the key enrolled a fingerprint into `slot` (a CTAP2 key picks its own).
    bool RunEnrollment(std::optional<std::uint16_t> slot);
    // The verify-option window: the proof picked, nothing when it was closed.
    std::optional<Proof> AskProofChoice();
    // Creates `dialog` owned by this window, centres it and runs it modally.
    int RunDialog(WindowImplBase& dialog);

    KeyState keyState_;
    FidoDevice device_;
    MainWndOptions options_;
    TemplateNames templateNames_;
    std::map<int, std::uint16_t> rowMap_;
    bool connecting_ = false;
    // A copy with administrator rights is taking over; this one only closes.
    bool handedOver_ = false;
    // Dialogs of an operation open now; their workers use the session meanwhile.
    int dialogsRunning_ = 0;

    CListUI* list_ = nullptr;
    CControlUI* verifyButton_ = nullptr;
    CControlUI* enrollButton_ = nullptr;
    CControlUI* formatButton_ = nullptr;
    CControlUI* deleteButton_ = nullptr;
    CControlUI* editButton_ = nullptr;
    CControlUI* helpButton_ = nullptr;
    CControlUI* changePinButton_ = nullptr;
    CControlUI* passkeyButton_ = nullptr;
    CControlUI* statusLabel_ = nullptr;
    CControlUI* helpLabel_ = nullptr;
    CControlUI* keyIcon_ = nullptr;
    CTabLayoutUI* keyPages_ = nullptr;
    CTabLayoutUI* fingerprintPages_ = nullptr;
};

}  // namespace kelvora
