// The passkey operations of the main window: the passkey window behind its button, and the
// count a reset warns of.

#include "app/main_wnd.h"
#include "ctap/key_abilities.h"
#include "ctap/key_operations.h"
#include "dialogs/message_box/message_box.h"
#include "dialogs/passkeys/passkey_texts.h"
#include "dialogs/passkeys/passkey_wnd.h"

namespace kelvora {

void CMainWnd::ManagePasskeys() {
    AuthenticatorCaps caps;
    GetAuthenticatorInfo(device_, caps);
    if (!AbilitiesOf(keyState_).managesPasskeys) {
        return;
    }
    // The key shows its passkeys only for a PIN token; without a PIN there is none to get.
    if (caps.pinSet != 1) {
        ShowMessageBox(GetHWND(), QString::fromUtf8(kApplicationTitle),
                       QString::fromUtf8(passkey_text::kNeedsPin), kMbOk);
        return;
    }
    if (!RunPinVerification()) {
        return;
    }
    CPasskeyWnd dialog(device_, *options_.pacer);
    RunDialog(dialog);
}

bool CMainWnd::ConfirmPasskeysErased() {
    // Counting takes a PIN token, and a reset does not ask for the PIN (it is often what was
    // forgotten): a key whose PIN was not verified since it was plugged in gets the reset's
    // own warning alone.
    if (!AbilitiesOf(keyState_).managesPasskeys || keyState_.pinToken.Empty()) {
        return true;
    }
    PasskeyMetadata held;
    if (!ReadPasskeyMetadataOnKey(device_, held).succeeded || held.existing == 0) {
        return true;
    }
    return ShowMessageBox(GetHWND(), QString::fromUtf8(passkey_text::kConfirmTitle),
                          passkey_text::ResetErases(held.existing),
                          kMbOkCancel | kMbIconWarning) == kIdOk;
}

}  // namespace kelvora
