// The fingerprint verification dialog: a worker runs the verification test and posts every
// status; the dialog shows the verdict and hands it back (0: the finger was recognised).
#pragma once

#include <QString>
#include <cstdint>

#include "ctap/bio_sequence.h"
#include "dialogs/fingerprint/fingerprint_dialog_base.h"
#include "transport/fido_device.h"

namespace kelvora {

inline constexpr UINT WM_VERIFY_RESULT = kWmUser + 101;
inline constexpr UINT WM_VERIFY_CLOSE = kWmUser + 102;

class CFPVerifyWnd final : public CFingerprintDialogBase {
  public:
    // What GetResult gives until a status was shown: not 0, so a dialog closed without a
    // verdict (the key was removed) never reads as a recognised finger.
    static constexpr std::uint32_t kNoVerdict = 0xFFFF;

    // `device` and the services' clock must outlive the dialog.
    CFPVerifyWnd(FidoDevice& device, QString caption, const BioSequenceServices& services = {});

    // The last status shown; 0 when the finger was recognised.
    std::uint32_t GetResult() const { return result_; }

    void InitWindow() override;
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

  private:
    void RunWorker(WindowHandle window);
    void ShowStatus(std::uint16_t status);

    FidoDevice& device_;
    QString caption_;
    BioSequenceServices services_;
    bool legacy_ = false;
    std::uint32_t result_ = kNoVerdict;
    CControlUI* image_ = nullptr;
    CControlUI* text_ = nullptr;
};

}  // namespace kelvora
