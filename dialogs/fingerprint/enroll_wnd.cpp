#include "dialogs/fingerprint/enroll_wnd.h"

#include "dialogs/fingerprint/progress_views.h"
#include "toolkit/control.h"

namespace kelvora {

CFPRegistWnd::CFPRegistWnd(FidoDevice& device, int legacySlot, const BioSequenceServices& services)
    : CFingerprintDialogBase(QStringLiteral("registFingerprint.xml")),
      device_(device),
      legacySlot_(legacySlot),
      services_(services) {}

void CFPRegistWnd::InitWindow() {
    StopFlag().store(false);
    closeButton_ = FindControl(QStringLiteral("closebtn"));
    image_ = FindControl(QStringLiteral("image_show"));
    text_ = FindControl(QStringLiteral("txt_show"));
    hint_ = FindControl(QStringLiteral("text_2"));
    // Decided once, so that the reports are read the way the worker sends them.
    family_ = EnrollmentFamilyOf(device_.State());
    StartWorker([this](WindowHandle window) { RunWorker(window); });
}

void CFPRegistWnd::RunWorker(WindowHandle window) {
    const auto post = [window](int count, int status) {
        PostWindowMessage(window, WM_ENROLL_PROGRESS, static_cast<WPARAM>(count),
                          static_cast<LPARAM>(status));
    };
    const SequenceOutcome outcome =
        RunEnrollmentOnKey(device_, family_, legacySlot_, post, StopFlag(), services_);
    if (outcome.end == SequenceEnd::kFinished) {
        // The verdict travels with the result: only the worker knows how the sequence ended.
        PostWindowMessage(window, WM_ENROLL_DONE, static_cast<WPARAM>(VerdictOf(family_, outcome)),
                          outcome.result);
        services_.clock.SleepMs(kDoneShownMs);
    }
    PostWindowMessage(window, WM_ENROLL_CLOSE);
}

void CFPRegistWnd::ShowProgress(int count, int status) {
    const EnrollView view =
        family_ == EnrollmentFamily::kLegacy
            ? LegacyEnrollView(count, static_cast<std::uint16_t>(status), !reported_)
            : CtapEnrollView(count, status);
    reported_ = true;
    if (view.clearHint) {
        SetTextOf(hint_, QString());
    }
    if (!view.image.isEmpty()) {
        SetImageOf(image_, view.image);
    }
    if (!view.keepText) {
        SetTextOf(text_, view.text);
    }
}

LRESULT CFPRegistWnd::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_ENROLL_PROGRESS) {
        // wParam carries a signed count: a key may report more samples than it takes.
        ShowProgress(static_cast<int>(static_cast<std::intptr_t>(wParam)),
                     static_cast<int>(lParam));
    } else if (msg == WM_ENROLL_DONE) {
        result_ = static_cast<std::uint32_t>(lParam);
        verdict_ = static_cast<EnrollmentVerdict>(wParam);
        const EnrollView view = EnrollDoneView(verdict_);
        SetImageOf(image_, view.image);
        SetTextOf(text_, view.text);
    } else if (msg == WM_ENROLL_CLOSE) {
        workerDone_ = true;
        Close(kCloseCode);
    } else if (msg == kWmClose && !workerDone_) {
        // The system's close (Alt+F4, the window manager): closing now would wait for the
        // worker, and with it for the key, with the whole tool frozen. It cancels instead,
        // and the worker closes the dialog once the exchange in flight has returned.
        RequestCancel();
        return 0;
    }
    return CFingerprintDialogBase::HandleMessage(msg, wParam, lParam);
}

void CFPRegistWnd::RequestCancel() {
    // Once the result is shown the worker closes the dialog anyway.
    if (StopFlag().load() || result_ != kNoEnrollResult) {
        return;
    }
    if (closeButton_ != nullptr) {
        closeButton_->SetEnabled(false);
    }
    StopFlag().store(true);
    SetTextOf(text_, QString::fromUtf8(fp_text::kCancelling));
}

void CFPRegistWnd::Notify(TNotifyUI& msg) {
    if (msg.sType == QLatin1String("click") && msg.pSender != nullptr &&
        msg.pSender == closeButton_) {
        RequestCancel();
        return;  // the worker closes the dialog once the key has been told
    }
    CFingerprintDialogBase::Notify(msg);
}

}  // namespace kelvora
