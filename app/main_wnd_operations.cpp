// The steps the button operations share (the dialogs they open and how their results are
// read), and the operations that are a single dialog: verify, change PIN, welcome, reset.

#include <algorithm>

#include "app/main_wnd.h"
#include "ctap/bio_sequence.h"
#include "ctap/status.h"
#include "dialogs/fingerprint/choice_wnds.h"
#include "dialogs/fingerprint/enroll_wnd.h"
#include "dialogs/fingerprint/reset_wnd.h"
#include "dialogs/fingerprint/verify_wnd.h"
#include "dialogs/message_box/message_box.h"
#include "dialogs/pin/change_pin_wnd.h"
#include "dialogs/pin/pin_verify_wnd.h"

namespace kelvora {
namespace {

constexpr std::uint16_t kPinVerified = 0x9000;
constexpr std::uint16_t kPinNotVerified = 2;
// 49 fingerprints fill a key: identifiers 0 to 48.
constexpr std::uint16_t kFirstSlotBeyondCapacity = 49;
constexpr std::uint16_t kOutOfMemory = 0x6A84;
// Identifier 255 is never handed out.
constexpr std::uint16_t kAssignableSlots = 255;

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
    return static_cast<int>(std::count_if(enrolled.begin(), enrolled.end(),
                                          [](std::uint8_t entry) { return entry != 0; }));
}

void CMainWnd::FindFreeSlot(std::vector<std::uint16_t>& ids) {
    SlotMap enrolled{};
    if (EnumerateFingerprints(enrolled) != 0) {
        return;
    }
    for (std::uint16_t slot = 0; slot < kAssignableSlots; ++slot) {
        if (enrolled[slot] == 0) {
            ids.push_back(slot);
            return;
        }
    }
}

std::uint16_t CMainWnd::RunPinVerification() {
    CPINVerifyWnd dialog(QStringLiteral("verifyPIN.xml"), device_, *options_.pacer);
    return RunDialog(dialog) == 1 ? kPinVerified : kPinNotVerified;
}

std::uint32_t CMainWnd::RunFingerprintVerification(const QString& caption) {
    CFPVerifyWnd dialog(QStringLiteral("verifyFingerprint.xml"), device_, caption,
                        BioSequenceServices{*options_.workerClock});
    RunDialog(dialog);
    return dialog.verifyResult;
}

std::uint32_t CMainWnd::RunEnrollment(const std::vector<std::uint16_t>& ids) {
    if (ids.empty() || ids.front() >= kFirstSlotBeyondCapacity) {
        ShowMessageBox(GetHWND(), QStringLiteral("エラー"), QStringLiteral("メモリが足りません。"),
                       kMbIconError);
        return kOutOfMemory;
    }
    // A legacy model enrols into the first free identifier; a CTAP2 key picks its own.
    CFPRegistWnd dialog(QStringLiteral("registFingerprint.xml"), device_, ids.front(),
                        BioSequenceServices{*options_.workerClock});
    RunDialog(dialog);
    return dialog.enrollResult;
}

bool CMainWnd::AskVerifyOption(std::uint32_t& choice) {
    CVerifyOptionWnd dialog(QStringLiteral("VerifyOption.xml"), keyState_.deviceAbsent,
                            *options_.pacer);
    const bool confirmed = RunDialog(dialog) == 1;
    choice = dialog.optionChoice;
    return confirmed;
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
    CChangePINWnd dialog(QStringLiteral("ChangePIN.xml"), device_, *options_.pacer);
    RunDialog(dialog);
}

void CMainWnd::ShowWelcome() {
    CWelcomeWnd dialog(QStringLiteral("welcome.xml"));
    RunDialog(dialog);
}

void CMainWnd::ResetDevice() {
    AuthenticatorCaps caps;
    GetAuthenticatorInfo(device_, caps);  // refreshes the key state; the answer is not needed
    if (ShowMessageBox(GetHWND(), kResetWarningTitle, kResetWarning,
                       kMbOkCancel | kMbIconWarning) != kIdOk) {
        return;
    }
    CResetWnd dialog(QStringLiteral("resetDevice.xml"), device_, *options_.workerClock);
    RunDialog(dialog);
    if ((dialog.resetStatus & 0xFFFFU) != SuccessStatus(keyState_.selectedProductId)) {
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
