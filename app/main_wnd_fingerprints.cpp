// Enrolling, deleting and renaming a fingerprint: each proves the user's identity first (the
// PIN or an enrolled finger, whichever the key has, or the user's pick when it has both),
// then opens the dialog or sends the command.

#include "app/main_wnd.h"
#include "ctap/bio_templates.h"
#include "ctap/legacy_bio.h"
#include "ctap/status.h"
#include "dialogs/fingerprint/choice_wnds.h"
#include "dialogs/fingerprint/edit_finger_name_wnd.h"
#include "dialogs/message_box/message_box.h"
#include "dialogs/pin/set_pin_wnd.h"
#include "platform/debug_output.h"
#include "transport/fido_device.h"

namespace kelvora {
namespace {

constexpr std::uint16_t kPinVerified = 0x9000;
constexpr std::uint16_t kLegacySuccess = 0x9000;
constexpr std::uint32_t kRecognised = 0;

// How DeleteFingerprint ended.
constexpr int kDeleteNotPossible = -1;  // GetInfo failed, or nothing to delete
constexpr int kDeleteOptionCancelled = -4;
// -5 was a PIN dialog that could not run; the dialog reports that as a refusal too.
constexpr int kDeletePinRefused = -6;
constexpr int kDeleteFingerRefused = -7;
constexpr int kDeleteLastWithoutPin = -8;

const QString kFingerprintCaption = QStringLiteral("指紋認証");

}  // namespace

void CMainWnd::EnrollFingerprint() {
    AuthenticatorCaps caps;
    GetAuthenticatorInfo(device_, caps);
    std::vector<std::uint16_t> ids;
    FindFreeSlot(ids);

    // Asked once more through the APDU path; some keys expect it before an enrollment.
    std::uint8_t request = keyState_.vendorCommandSet ? 0x44 : 0x04;
    std::uint8_t response[256] = {};
    std::uint32_t responseLength = sizeof(response);
    device_.TransmitApdu(&request, 1, response, &responseLength);

    // The identity check; a proved PIN skips the first-use question, as the key has a PIN.
    bool pinProved = false;
    bool askFinger = false;
    // A legacy key's GetInfo sets none of the flags; what it holds decides instead, or anyone
    // at the PC could add a finger that then unlocks the key.
    const bool fingerprints =
        keyState_.uvConfigured || (!keyState_.bioEnrollmentSupported && CountFingerprints() > 0);
    if (fingerprints && keyState_.pinSet) {
        std::uint32_t choice = kNoChoice;
        if (!AskVerifyOption(choice)) {
            return;
        }
        if (choice == kChosePin) {
            if (RunPinVerification() != kPinVerified) {
                return;
            }
            pinProved = true;
        } else {
            askFinger = choice == kChoseFingerprint;
        }
    } else if (fingerprints) {
        askFinger = true;
    } else if (keyState_.pinSet) {
        if (RunPinVerification() != kPinVerified) {
            return;
        }
        pinProved = true;
    }
    if (askFinger && RunFingerprintVerification(kFingerprintCaption) != kRecognised) {
        return;
    }

    if (!pinProved) {
        // First use: a key with neither a PIN nor a fingerprint asks how it is to be used.
        caps = AuthenticatorCaps{};
        const std::uint16_t status = GetAuthenticatorInfo(device_, caps);
        if (status != SuccessStatus(keyState_.selectedProductId)) {
            DebugPrintf(SystemDebugOutput(), "GetInfo ERR: 0x%04X", static_cast<unsigned>(status));
        }
        if (caps.pinSet == 0 && caps.uvConfigured == 0) {
            CVerifyModeWnd mode(QStringLiteral("VerifyMode.xml"));
            RunDialog(mode);
            if (mode.optionChoice == kChosePin) {
                CSetPINWnd setPin(QStringLiteral("SetPIN.xml"), device_, *options_.pacer);
                if (RunDialog(setPin) != 1) {
                    return;
                }
                AuthenticatorCaps after;
                GetAuthenticatorInfo(device_, after);
                if (after.pinSet == 1) {
                    changePinButton_->SetEnabled(true);
                }
            } else if (mode.optionChoice != kChoseFingerprint) {
                return;
            }
        }
    }

    const std::uint32_t result = RunEnrollment(ids);
    if (result == kLegacySuccess || result == 0) {
        keyState_.uvConfigured = true;
        RefreshFingerprintList(true);
        UpdateDeviceState(true);
    }
}

int CMainWnd::DeleteFingerprint(std::uintptr_t templateId) {
    AuthenticatorCaps caps;
    GetAuthenticatorInfo(device_, caps);
    const bool ctap = keyState_.bioEnrollmentSupported;
    caps = AuthenticatorCaps{};
    if (GetAuthenticatorInfo(device_, caps) != (ctap ? 0 : kLegacySuccess)) {
        return kDeleteNotPossible;
    }
    const int count = CountFingerprints();
    if (count == 1 && caps.pinSet == 0) {
        // Without a PIN the last fingerprint is all that protects the key.
        ShowMessageBox(
            GetHWND(), QStringLiteral("エラー"),
            QStringLiteral("PIN認証が無効のため、最後の指紋レコードを削除できませんでした。"),
            kMbIconError);
        return kDeleteLastWithoutPin;
    }
    const auto slot = static_cast<std::uint16_t>(templateId & 0xFFU);
    return ctap ? DeleteCtapFingerprint(slot, caps, count)
                : DeleteLegacyFingerprint(slot, caps, count);
}

int CMainWnd::DeleteCtapFingerprint(std::uint16_t slot, const AuthenticatorCaps& caps, int count) {
    bool withPin = false;
    if (count == 1) {
        withPin = true;  // the last fingerprint goes only with the PIN
    } else if (caps.uvConfigured != 1) {
        UpdateDeviceState(true);
        return kDeleteNotPossible;
    } else if (caps.pinSet == 1) {
        std::uint32_t choice = kNoChoice;
        if (!AskVerifyOption(choice)) {
            return kDeleteOptionCancelled;
        }
        if (choice == kChosePin) {
            withPin = true;
        } else if (choice != kChoseFingerprint) {
            UpdateDeviceState(true);
            return kDeleteNotPossible;
        }
    }
    if (withPin) {
        if (RunPinVerification() != kPinVerified) {
            return kDeletePinRefused;
        }
    } else if (RunFingerprintVerification(kFingerprintCaption) != kRecognised) {
        return kDeleteFingerRefused;
    }

    const std::uint8_t status = RemoveBio(device_, slot, withPin);
    if (status != 0) {
        ShowRemovalFailure();
    }
    UpdateDeviceState(true);
    return status;
}

int CMainWnd::DeleteLegacyFingerprint(std::uint16_t slot, const AuthenticatorCaps& caps,
                                      int count) {
    bool askPin = false;
    bool askFinger = false;
    if (count == 1) {
        askPin = true;
    } else if (caps.uvConfigured == 1 && caps.pinSet == 1) {
        std::uint32_t choice = kNoChoice;
        if (!AskVerifyOption(choice)) {
            return kDeleteOptionCancelled;
        }
        askPin = choice == kChosePin;
        askFinger = choice == kChoseFingerprint;
    } else if (caps.uvConfigured == 1) {
        askFinger = true;
    }
    if (askPin) {
        if (RunPinVerification() != kPinVerified) {
            return kDeletePinRefused;
        }
    } else if (askFinger && RunFingerprintVerification(kFingerprintCaption) != kRecognised) {
        return kDeleteFingerRefused;
    }

    const std::uint16_t status = LegacyDelete(device_, slot);
    if (status != kLegacySuccess) {
        ShowRemovalFailure();
    }
    UpdateDeviceState(true);
    return status;
}

void CMainWnd::ShowRemovalFailure() {
    ShowMessageBox(GetHWND(), QString::fromUtf8(kApplicationTitle),
                   QStringLiteral("削除に失敗しました。"), kMbOk);
}

void CMainWnd::EditFingerprintName() {
    AuthenticatorCaps caps;
    GetAuthenticatorInfo(device_, caps);
    bool askFinger = !keyState_.pinSet;
    if (keyState_.pinSet) {
        std::uint32_t choice = kNoChoice;
        if (!AskVerifyOption(choice)) {
            return;
        }
        if (choice == kChosePin && RunPinVerification() != kPinVerified) {
            return;
        }
        askFinger = choice == kChoseFingerprint;
    }
    if (askFinger && RunFingerprintVerification(kFingerprintCaption) != kRecognised) {
        return;
    }

    const int row = list_->GetCurSel();
    if (row < 0) {
        return;
    }
    const auto slot = static_cast<std::uint16_t>(list_->GetItemAt(row)->GetTag());
    const auto found = templateNames_.find(slot);
    CEditFingerNameWnd dialog(QStringLiteral("EditFingerName.xml"), device_,
                              found == templateNames_.end() ? std::string() : found->second, slot,
                              *options_.pacer);
    RunDialog(dialog);
}

}  // namespace kelvora
