// The PIN verification dialog: asks for the key's PIN before a protected operation and, when
// the key accepts it, leaves a fresh token in keyState.pinToken. Modal result 1 means the
// PIN was verified; 2 the close button; 0 a close because the key went away.
#pragma once

#include "dialogs/pin/pin_dialog_base.h"

namespace kelvora {

class CPINVerifyWnd : public CPinDialogBase {
  public:
    // The watchdog looks at the key every half second.
    static constexpr std::uint32_t kWatchdogPeriodMs = 500;

    explicit CPINVerifyWnd(FidoDevice& device, WatchdogPacer& pacer = RealTimePacer());

    void InitWindow() override;
    void Notify(TNotifyUI& msg) override;
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

    // The status of the last verification: 0 (or 0x9000) verified, 0xFFEE an entry error
    // shown under the field, otherwise the key's refusal or a failed key agreement.
    int GetResult() const { return result_; }

  private:
    void OnEnter() override { Confirm(); }
    void Confirm();
    int Verify(const QString& pin);

    CControlUI* pinEdit_ = nullptr;
    CControlUI* statusLabel_ = nullptr;
    int result_ = 0;
};

}  // namespace kelvora
