// The reset dialog: a worker sends the reset, the dialog shows the outcome for half a second
// and closes; the main window then reads its result.
#pragma once

#include <QString>
#include <cstdint>

#include "dialogs/fingerprint/fingerprint_dialog_base.h"
#include "platform/clock.h"
#include "transport/fido_device.h"

namespace kelvora {

inline constexpr UINT WM_RESET_RESULT = kWmUser + 101;
inline constexpr UINT WM_RESET_CLOSE = kWmUser + 102;

class CResetWnd final : public CFingerprintDialogBase {
  public:
    // What GetResult gives until the key answered: no key's success value, so a dialog
    // closed without an outcome (the key was removed) never reads as a reset.
    static constexpr std::uint32_t kNoOutcome = 0xFFFF;

    // `device` and `clock` must outlive the dialog.
    explicit CResetWnd(FidoDevice& device, Clock& clock = SystemClock());

    // The reset's status as the worker reported it.
    std::uint32_t GetResult() const { return result_; }

    void InitWindow() override;
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

  private:
    FidoDevice& device_;
    Clock& clock_;
    std::uint32_t result_ = kNoOutcome;
    // The worker has asked to close: only then does a close end the dialog.
    bool workerDone_ = false;
    CControlUI* image_ = nullptr;
    CControlUI* text_ = nullptr;
};

}  // namespace kelvora
