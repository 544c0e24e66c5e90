#include "dialogs/fingerprint/verify_wnd.h"

#include "ctap/failure_detail.h"
#include "ctap/verification_test.h"
#include "dialogs/fingerprint/progress_views.h"
#include "toolkit/control.h"
#include "transport/device_ids.h"

namespace kelvora {

CFPVerifyWnd::CFPVerifyWnd(FidoDevice& device, QString caption, const BioSequenceServices& services)
    : CFingerprintDialogBase(QStringLiteral("verifyFingerprint.xml")),
      device_(device),
      caption_(std::move(caption)),
      services_(services) {}

void CFPVerifyWnd::InitWindow() {
    StopFlag().store(false);
    image_ = FindControl(QStringLiteral("image_show"));
    text_ = FindControl(QStringLiteral("txt_show"));
    SetTextOf(FindControl(QStringLiteral("label_test")), caption_);
    legacy_ = IsLegacyModel(device_.State().selectedProductId.load());
    StartWorker([this](WindowHandle window) { RunWorker(window); });
}

void CFPVerifyWnd::RunWorker(WindowHandle window) {
    const VerificationOutcome outcome = RunVerificationTest(
        device_,
        [window](std::uint16_t status) { PostWindowMessage(window, WM_VERIFY_RESULT, status); },
        StopFlag(), services_);
    if (outcome.closeCode == kCtapVerifyCloseCode) {
        PostWindowMessage(window, kWmClose, kCtapVerifyCloseCode);
    } else {
        PostWindowMessage(window, WM_VERIFY_CLOSE);
    }
}

void CFPVerifyWnd::ShowStatus(std::uint16_t status) {
    result_ = status;
    // A not-verified CTAP2 verdict asks the key for the attempts left, here on the UI thread
    // while the worker keeps the verdict up.
    const VerdictView view =
        legacy_ ? LegacyVerdictView(status)
                : CtapVerdictView(status, [this] { return ReadFailureDetail(device_); });
    if (view.verified) {
        result_ = 0;
    }
    SetImageOf(image_, view.image);
    SetTextOf(text_, view.text);
}

LRESULT CFPVerifyWnd::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_VERIFY_RESULT) {
        ShowStatus(static_cast<std::uint16_t>(wParam));
    } else if (msg == WM_VERIFY_CLOSE) {
        Close(kLegacyVerifyCloseCode);
    } else if (msg == kWmClose) {
        if (legacy_) {
            StopFlag().store(true);
        } else if (wParam != kCtapVerifyCloseCode) {
            return 0;  // only the key's answer or its removal ends the wait
        }
    }
    return CFingerprintDialogBase::HandleMessage(msg, wParam, lParam);
}

}  // namespace kelvora
