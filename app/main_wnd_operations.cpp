// The steps the button operations share (the dialogs they open and how their results are
// read), and the operations that are a single dialog: verify, change PIN, welcome, reset.

#include "app/main_wnd.h"
#include "ctap/bio_sequence.h"
#include "ctap/input_rules.h"
#include "ctap/key_operations.h"
#include "dialogs/fingerprint/choice_wnds.h"
#include "dialogs/fingerprint/enroll_wnd.h"
#include "dialogs/fingerprint/reset_wnd.h"
#include "dialogs/fingerprint/verify_wnd.h"
#include "dialogs/message_box/message_box.h"
#include "dialogs/pin/change_pin_wnd.h"
#include "dialogs/pin/pin_verify_wnd.h"

namespace kelvora {
namespace {

const QString kResetWarningTitle = QStringLiteral("警告");
const QString kResetWarning = QStringLiteral(
    "デバイスリセット\nデバイスは出荷時の設定にリセットされます。\n全てのデータは消去されます。\n"
    "【注意事項】\n一部のデバイスに、端末と接続してから10秒以内にリセット操作を実施してください。\n"
    "リセット操作ができない場合は、デバイスを抜き差し操作を実施してください。 ");

}  // namespace

int CMainWnd::RunDialog(WindowImplBase& dialog) {
    // Counted from creation: a dialog's worker starts with its window.
    ++dialogsRunning_;
    int result = -1;
    if (dialog.Create(GetHWND(), QString::fromUtf8(kApplicationTitle), kDialogStyle)) {
        dialog.CenterWindow();
        result = dialog.ShowModal();
    }
    --dialogsRunning_;
    return result;
}

int CMainWnd::CountFingerprints() {
    SlotMap enrolled{};
    EnumerateFingerprints(enrolled);
    return static_cast<int>(CountEnrolled(enrolled));
}

bool CMainWnd::RunPinVerification() {
    CPINVerifyWnd dialog(device_, *options_.pacer);
    return RunDialog(dialog) == 1;
}

bool CMainWnd::RunFingerprintVerification(const QString& caption) {
    CFPVerifyWnd dialog(device_, caption, BioSequenceServices{*options_.workerClock});
    RunDialog(dialog);
    return dialog.GetResult() == 0;
}

bool CMainWnd::RunEnrollment(std::optional<std::uint16_t> slot) {
    if (!slot) {
        ShowMessageBox(GetHWND(), QStringLiteral("エラー"), QStringLiteral("メモリが足りません。"),
                       kMbIconError);
        return false;
    }
    // A legacy model enrols into the first free identifier; a CTAP2 key picks its own.
    CFPRegistWnd dialog(device_, *slot, BioSequenceServices{*options_.workerClock});
    RunDialog(dialog);
    // What the dialog showed as enrolled is what the list is brought up to date for.
    return dialog.Verdict() != EnrollmentVerdict::kNotEnrolled;
}

std::optional<Proof> CMainWnd::AskProofChoice() {
    CVerifyOptionWnd dialog(keyState_.deviceAbsent, *options_.pacer);
    if (RunDialog(dialog) != 1) {
        return std::nullopt;
    }
    // The window closes with 1 only once a row was picked.
    return dialog.GetResult() == kChosePin ? Proof::kPin : Proof::kFinger;
}

void CMainWnd::VerifyFingerprint() {
    AuthenticatorCaps caps;
    GetAuthenticatorInfo(device_, caps);  // refreshes the key state; the answer is not needed
    RunFingerprintVerification(QStringLiteral("指紋検証"));
}

void CMainWnd::ChangePin() {
    AuthenticatorCaps caps;
    GetAuthenticatorInfo(device_, caps);
    if (caps.pinSet != 1) {
        return;
    }
    CChangePINWnd dialog(device_, *options_.pacer);
    RunDialog(dialog);
}

void CMainWnd::ShowWelcome() {
    CWelcomeWnd dialog;
    RunDialog(dialog);
}

void CMainWnd::ResetDevice() {
    AuthenticatorCaps caps;
    GetAuthenticatorInfo(device_, caps);  // refreshes the key state; the answer is not needed
    if (!ConfirmPasskeysErased()) {
        return;
    }
    if (ShowMessageBox(GetHWND(), kResetWarningTitle, kResetWarning,
                       kMbOkCancel | kMbIconWarning) != kIdOk) {
        return;
    }
    CResetWnd dialog(device_, *options_.workerClock);
    RunDialog(dialog);
    if (!SucceededOnKey(device_, static_cast<int>(dialog.GetResult() & 0xFFFFU))) {
        return;
    }
    // The key has forgotten its PIN and fingerprints, and with the PIN any token.
    keyState_.pinSet = false;
    keyState_.uvConfigured = false;
    keyState_.pinToken.Clear();
    RefreshFingerprintList(true);
    UpdateDeviceState(true);
}

}  // namespace kelvora
