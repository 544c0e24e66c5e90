#include "dialogs/fingerprint/reset_wnd.h"

#include "ctap/reset.h"
#include "ctap/status.h"
#include "dialogs/fingerprint/progress_views.h"
#include "toolkit/control.h"

namespace kelvora {

CResetWnd::CResetWnd(FidoDevice& device, Clock& clock)
    : CFingerprintDialogBase(QStringLiteral("resetDevice.xml")), device_(device), clock_(clock) {}

void CResetWnd::InitWindow() {
    image_ = FindControl(QStringLiteral("image_show"));
    text_ = FindControl(QStringLiteral("txt_show"));
    StartWorker([this](WindowHandle window) {
        const ResetWorkerHooks hooks{
            [window](std::uint16_t status) { PostWindowMessage(window, WM_RESET_RESULT, status); },
            [window](ResetCloseCode code) {
                PostWindowMessage(window, WM_RESET_CLOSE, static_cast<WPARAM>(code));
            }};
        RunResetWorker(device_, clock_, hooks);
    });
}

LRESULT CResetWnd::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_RESET_RESULT) {
        const auto status = static_cast<std::uint16_t>(wParam);
        result_ = status;
        const bool success = status == SuccessStatus(device_.State().selectedProductId.load());
        SetImageOf(image_, QString::fromUtf8(success ? fp_image::kPass : fp_image::kFail));
        SetTextOf(text_, QString::fromUtf8(success ? fp_text::kResetDone : fp_text::kResetFailed));
    } else if (msg == WM_RESET_CLOSE) {
        workerDone_ = true;
        Close(static_cast<UINT>(wParam));
        return 0;
    } else if (msg == kWmClose && !workerDone_) {
        // The system's close while the key waits for its touch: closing would wait for the
        // worker with the whole tool frozen, and a reset the user then completes would reach
        // a closed window, leaving the main window with the erased key's state.
        return 0;
    }
    return CFingerprintDialogBase::HandleMessage(msg, wParam, lParam);
}

}  // namespace kelvora
