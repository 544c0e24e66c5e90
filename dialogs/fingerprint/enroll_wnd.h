// The enrollment dialog: a worker runs the enrollment sequence of the key's family and posts
// its progress; the dialog shows a picture and a text per sample, lets the user cancel, and
// hands the result back to the main window.
#pragma once

#include <QString>
#include <cstdint>

#include "ctap/bio_sequence.h"
#include "ctap/enrollment.h"
#include "dialogs/fingerprint/fingerprint_dialog_base.h"
#include "transport/fido_device.h"

namespace kelvora {

inline constexpr UINT WM_ENROLL_DONE = kWmUser + 101;
inline constexpr UINT WM_ENROLL_CLOSE = kWmUser + 104;
inline constexpr UINT WM_ENROLL_PROGRESS = kWmUser + 106;

class CFPRegistWnd final : public CFingerprintDialogBase {
  public:
    // The result of a dialog that closed without one (cancelled, key removed, suspend):
    // neither success value, so the main window never takes it for an enrollment.
    static constexpr std::uint32_t kNoEnrollResult = 0xFFFF;
    static constexpr int kCloseCode = 2;
    static constexpr std::uint32_t kDoneShownMs = 500;

    // `legacySlot` is the slot a legacy model enrols into; a CTAP2 key chooses its own.
    // `device` and the services' clock must outlive the dialog.
    CFPRegistWnd(FidoDevice& device, int legacySlot, const BioSequenceServices& services = {});

    // The enrollment's result: the key's success value, its failure, or kNoEnrollResult.
    std::uint32_t GetResult() const { return result_; }
    // What the dialog showed of the result, and what the main window acts on.
    EnrollmentVerdict Verdict() const { return verdict_; }

    void InitWindow() override;
    void Notify(TNotifyUI& msg) override;
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

  private:
    void RunWorker(WindowHandle window);
    void ShowProgress(int count, int status);
    // The close button's cancel: the worker sends the cancel request when the exchange in
    // flight returns, then closes the dialog.
    void RequestCancel();

    FidoDevice& device_;
    int legacySlot_;
    BioSequenceServices services_;
    EnrollmentFamily family_ = EnrollmentFamily::kBio;
    std::uint32_t result_ = kNoEnrollResult;
    EnrollmentVerdict verdict_ = EnrollmentVerdict::kNotEnrolled;
    bool reported_ = false;  // a progress report was shown
    // The worker has asked to close: from then on a close ends the dialog at once.
    bool workerDone_ = false;
    CControlUI* closeButton_ = nullptr;
    CControlUI* image_ = nullptr;
    CControlUI* text_ = nullptr;
    CControlUI* hint_ = nullptr;
};

}  // namespace kelvora
