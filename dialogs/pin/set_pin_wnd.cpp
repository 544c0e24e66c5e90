#include "dialogs/pin/set_pin_wnd.h"

#include "ctap/key_operations.h"
#include "ctap/status.h"
#include "dialogs/message_box/message_box.h"
#include "dialogs/pin/pin_entry.h"
#include "toolkit/control.h"

namespace kelvora {

namespace {
// setPIN answers that the dialog leaves without a failure box.
constexpr int kSilentSetFailure = kCtapErrInvalidParameter;
}  // namespace

CSetPINWnd::CSetPINWnd(FidoDevice& device, WatchdogPacer& pacer)
    : CPinDialogBase(QStringLiteral("SetPIN.xml"), device, pacer) {}

void CSetPINWnd::InitWindow() {
    pinEdit_ = FindControl(QStringLiteral("edit_pin"));
    confirmEdit_ = FindControl(QStringLiteral("edit_pin2"));
    pinLabel_ = FindControl(QStringLiteral("label_pin"));
    confirmLabel_ = FindControl(QStringLiteral("label_pin2"));
    Focus(pinEdit_);
    StartWatchdog(kWatchdogPeriodMs, CloseDelivery::kPost);
    RegisterDeviceNotification();
}

void CSetPINWnd::Confirm() {
    result_ = SetOnKey();
    if (result_ == SuccessValue()) {
        Close(1);
    }
}

int CSetPINWnd::SetOnKey() {
    if (tokenAfterNewPin_.Pending()) {
        return tokenAfterNewPin_.Retry(Device());
    }
    const QString pin = TextOf(pinEdit_);
    if (const QString message = EntryProblem(pin); !message.isEmpty()) {
        SetTextOf(pinLabel_, message);
        return kStatusEntryError;
    }
    const QString confirmation = TextOf(confirmEdit_);
    if (const QString message = EntryProblem(confirmation); !message.isEmpty()) {
        SetTextOf(confirmLabel_, message);
        return kStatusEntryError;
    }
    if (pin != confirmation) {
        SetTextOf(confirmLabel_, QString::fromUtf8(pin_text::kMismatch));
        return kStatusEntryError;
    }
    const Utf8Pin utf8(pin);
    const KeyOutcome outcome = SetPinOnKey(Device(), utf8.view());
    if (outcome.KeyAgreementFailed()) {
        return outcome.status;
    }
    if (!outcome.succeeded) {
        if (outcome.status != kSilentSetFailure) {
            ShowBox(pin_text::kSetFailed, kMbIconError);
        }
        return outcome.status;
    }
    ShowBox(pin_text::kSetSucceeded, kMbOk);
    if (!outcome.tokenFollows || IsClosed()) {
        return outcome.status;  // no token to fetch, or the key went while the box was shown
    }
    return tokenAfterNewPin_.Fetch(Device(), utf8.view());
}

void CSetPINWnd::OnTextChanged() {
    const QString pin = TextOf(pinEdit_);
    const QString confirmation = TextOf(confirmEdit_);
    if (pin.size() >= kMinPinLength) {
        SetTextOf(pinLabel_, QString());
    }
    if (confirmation.size() >= kMinPinLength || pin != confirmation) {
        SetTextOf(confirmLabel_, QString());
    }
}

void CSetPINWnd::Notify(TNotifyUI& msg) {
    const QString name = msg.pSender == nullptr ? QString() : msg.pSender->GetName();
    if (msg.sType == QLatin1String("click")) {
        if (name == QLatin1String("btn_ok")) {
            Confirm();
        } else if (name == QLatin1String("closebtn") || name == QLatin1String("btn_cancel")) {
            result_ = kIdCancel;
            Close(kIdCancel);
            return;  // the default handling would close with 1
        }
    } else if (msg.pSender != nullptr && (msg.pSender == pinEdit_ || msg.pSender == confirmEdit_)) {
        if (msg.sType == QLatin1String("textchanged")) {
            OnTextChanged();
        } else if (msg.sType == QLatin1String("setfocus")) {
            SelectAll(msg.pSender);
        }
    }
    CPinDialogBase::Notify(msg);
}

LRESULT CSetPINWnd::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == kWmDeviceChange) {
        CloseOnKeyRemoval(wParam, lParam);
    }
    return CPinDialogBase::HandleMessage(msg, wParam, lParam);
}

}  // namespace kelvora
