// Enrolling, deleting and renaming a fingerprint: each proves the user's identity first, as
// the identity policy asks for what the key holds (ctap/identity_policy.h), then opens the
// dialog or sends the command.

#include "app/main_wnd.h"
#include "ctap/command_codes.h"
#include "ctap/input_rules.h"
#include "ctap/key_operations.h"
#include "ctap/status.h"
#include "dialogs/fingerprint/choice_wnds.h"
#include "dialogs/fingerprint/edit_finger_name_wnd.h"
#include "dialogs/message_box/message_box.h"
#include "dialogs/pin/set_pin_wnd.h"
#include "platform/debug_output.h"
#include "transport/fido_device.h"

namespace kelvora {
namespace {

const QString kFingerprintCaption = QStringLiteral("指紋認証");

}  // namespace

bool CMainWnd::ProveIdentity(Proof required, Proof& given) {
    if (required == Proof::kUserChoice) {
        const std::optional<Proof> choice = AskProofChoice();
        if (!choice) {
            return false;
        }
        required = *choice;
    }
    given = required;
    switch (required) {
        case Proof::kNothing:
        case Proof::kFirstUse:
            return true;
        case Proof::kPin:
            return RunPinVerification();
        case Proof::kFinger:
            return RunFingerprintVerification(kFingerprintCaption);
        case Proof::kUserChoice:
        case Proof::kRefuseLastWithoutPin:
        case Proof::kRefuseNoFingerprint:
            break;
    }
    return false;
}

void CMainWnd::EnrollFingerprint() {
    AuthenticatorCaps caps;
    GetAuthenticatorInfo(device_, caps);
    // Read once: both the free slot and whether the key holds fingerprints come from it, and
    // a legacy model's unreadable bitmap is then reported once.
    SlotMap enrolled{};
    const bool listed = EnumerateFingerprints(enrolled);
    const std::optional<std::uint16_t> slot =
        listed ? FirstFreeSlot(enrolled) : std::optional<std::uint16_t>();

    // Asked once more through the APDU path; some keys expect it before an enrollment.
    const std::uint8_t request = CommandByte(keyState_, CtapCommand::kGetInfo);
    std::uint8_t response[256] = {};
    std::uint32_t responseLength = sizeof(response);
    device_.TransmitApdu(&request, 1, response, &responseLength);

    const bool fingerprints =
        HoldsFingerprints(keyState_.uvConfigured, listed ? CountEnrolled(enrolled) : 0);
    Proof given = Proof::kNothing;
    if (!ProveIdentity(
            ProofFor(FingerprintOperation::kEnroll, {keyState_.pinSet, fingerprints, false}),
            given)) {
        return;
    }
    // A proved PIN skips the first-use question, as the key has a PIN.
    if (given != Proof::kPin && !SettleFirstUse()) {
        return;
    }
    if (RunEnrollment(slot)) {
        keyState_.uvConfigured = true;
        RefreshFingerprintList(true);
        UpdateDeviceState(true);
    }
}

bool CMainWnd::SettleFirstUse() {
    // A key with neither a PIN nor a fingerprint asks how it is to be used.
    AuthenticatorCaps caps;
    const std::uint16_t status = GetAuthenticatorInfo(device_, caps);
    if (!SucceededOnKey(device_, status)) {
        DebugPrintf(SystemDebugOutput(), "GetInfo ERR: 0x%04X", static_cast<unsigned>(status));
    }
    if (caps.pinSet != 0 || caps.uvConfigured != 0) {
        return true;
    }
    CVerifyModeWnd mode;
    RunDialog(mode);
    if (mode.GetResult() != kChosePin) {
        return mode.GetResult() == kChoseFingerprint;
    }
    CSetPINWnd setPin(device_, *options_.pacer);
    if (RunDialog(setPin) != 1) {
        return false;
    }
    AuthenticatorCaps after;
    GetAuthenticatorInfo(device_, after);
    if (after.pinSet == 1) {
        changePinButton_->SetEnabled(true);
    }
    return true;
}

void CMainWnd::DeleteFingerprint(std::uintptr_t templateId) {
    AuthenticatorCaps caps;
    GetAuthenticatorInfo(device_, caps);
    caps = AuthenticatorCaps{};
    if (!SucceededOnKey(device_, GetAuthenticatorInfo(device_, caps))) {
        return;
    }
    const int count = CountFingerprints();
    const KeyFacts key{caps.pinSet != 0,
                       HoldsFingerprints(caps.uvConfigured != 0, static_cast<std::size_t>(count)),
                       count == 1};
    const Proof required = ProofFor(FingerprintOperation::kDelete, key);
    if (required == Proof::kRefuseLastWithoutPin) {
        ShowMessageBox(
            GetHWND(), QStringLiteral("エラー"),
            QStringLiteral("PIN認証が無効のため、最後の指紋レコードを削除できませんでした。"),
            kMbIconError);
        return;
    }
    if (required == Proof::kRefuseNoFingerprint) {
        // The key lists none (any more): say so rather than let the click do nothing.
        ShowMessageBox(GetHWND(), QStringLiteral("エラー"),
                       QStringLiteral("削除できる指紋がありません。"), kMbIconError);
        UpdateDeviceState(true);
        return;
    }
    Proof given = Proof::kNothing;
    if (!ProveIdentity(required, given)) {
        return;
    }
    const auto slot = static_cast<std::uint16_t>(templateId & 0xFFU);
    if (!DeleteFingerprintOnKey(device_, slot, given == Proof::kPin).succeeded) {
        ShowRemovalFailure();
    }
    UpdateDeviceState(true);
}

void CMainWnd::ShowRemovalFailure() {
    ShowMessageBox(GetHWND(), QString::fromUtf8(kApplicationTitle),
                   QStringLiteral("削除に失敗しました。"), kMbOk);
}

void CMainWnd::EditFingerprintName() {
    AuthenticatorCaps caps;
    GetAuthenticatorInfo(device_, caps);
    // The button is on only while an enrolled fingerprint is selected.
    const KeyFacts key{keyState_.pinSet, true, false};
    Proof given = Proof::kNothing;
    if (!ProveIdentity(ProofFor(FingerprintOperation::kRename, key), given)) {
        return;
    }

    const int row = list_->GetCurSel();
    if (row < 0) {
        return;
    }
    const auto slot = static_cast<std::uint16_t>(list_->GetItemAt(row)->GetTag());
    const auto found = templateNames_.find(slot);
    CEditFingerNameWnd dialog(device_,
                              found == templateNames_.end() ? std::string() : found->second, slot,
                              *options_.pacer);
    RunDialog(dialog);
}

}  // namespace kelvora
