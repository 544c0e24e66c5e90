// The set-PIN dialog: gives a key without a PIN its first one. The PIN is typed twice; on a
// CTAP2 key a token is fetched with the new PIN after the success box, so the fingerprint
// operations can follow without asking for it. Modal result 1 means the PIN was set (and,
// on a CTAP2 key, the token fetched); 2 the close button; 0 a close because the key went
// away.
#pragma once

#include "dialogs/pin/pin_dialog_base.h"
#include "dialogs/pin/token_after_new_pin.h"

namespace kelvora {

class CSetPINWnd : public CPinDialogBase {
  public:
    static constexpr std::uint32_t kWatchdogPeriodMs = 100;

    explicit CSetPINWnd(FidoDevice& device, WatchdogPacer& pacer = RealTimePacer());

    void InitWindow() override;
    void Notify(TNotifyUI& msg) override;
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

    // The result of the last set operation: the key's status (word), 0xFFEE for an entry
    // error shown under a field, a failed key agreement; 2 after the close button; 0 before.
    int GetResult() const { return result_; }

  private:
    void OnEnter() override { Confirm(); }
    void Confirm();
    int SetOnKey();
    void OnTextChanged();

    CControlUI* pinEdit_ = nullptr;
    CControlUI* confirmEdit_ = nullptr;
    CControlUI* pinLabel_ = nullptr;
    CControlUI* confirmLabel_ = nullptr;
    int result_ = 0;
    // A second setPIN would be refused by a key that has a PIN.
    TokenAfterNewPin tokenAfterNewPin_;
};

}  // namespace kelvora
