// The change-PIN dialog: replaces the key's PIN. The current PIN is typed once and the new
// one twice; refusals are shown under the fields, success in a message box, after which a
// CTAP2 key is asked for a token with the new PIN. Modal result 1 after a change, 2 from the
// close or Cancel button, 0 when the dialog was closed because the key went away.
#pragma once

#include "dialogs/pin/pin_dialog_base.h"
#include "dialogs/pin/token_after_new_pin.h"

namespace kelvora {

class CChangePINWnd : public CPinDialogBase {
  public:
    static constexpr std::uint32_t kWatchdogPeriodMs = 100;

    explicit CChangePINWnd(FidoDevice& device, WatchdogPacer& pacer = RealTimePacer());

    void InitWindow() override;
    void Notify(TNotifyUI& msg) override;

    // The result of the last change operation: the key's status (word), 0xFFEE for an entry
    // error, or a failed key agreement; 0 before the first.
    int GetResult() const { return result_; }

  private:
    void OnEnter() override;
    void Confirm();
    int ChangeOnKey();
    // The first field whose entry breaks a rule gets its message; false then.
    bool CheckEntries();
    void OnNewPinChanged();

    CControlUI* okButton_ = nullptr;
    CControlUI* currentEdit_ = nullptr;
    CControlUI* newEdit_ = nullptr;
    CControlUI* confirmEdit_ = nullptr;
    CControlUI* currentLabel_ = nullptr;
    CControlUI* newLabel_ = nullptr;
    CControlUI* confirmLabel_ = nullptr;
    int result_ = 0;
    // A second changePIN would present the old PIN, which the key now counts as a wrong one.
    TokenAfterNewPin tokenAfterNewPin_;
};

}  // namespace kelvora
