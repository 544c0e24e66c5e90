#include "dialogs/pin/change_pin_wnd.h"

#include <optional>

#include "ctap/key_operations.h"
#include "ctap/status.h"
#include "dialogs/message_box/message_box.h"
#include "dialogs/pin/pin_entry.h"
#include "toolkit/control.h"

namespace kelvora {

CChangePINWnd::CChangePINWnd(FidoDevice& device, WatchdogPacer& pacer)
    : CPinDialogBase(QStringLiteral("ChangePIN.xml"), device, pacer) {}

void CChangePINWnd::InitWindow() {
    okButton_ = FindControl(QStringLiteral("btn_ok"));
    currentEdit_ = FindControl(QStringLiteral("edit_pin_old"));
    newEdit_ = FindControl(QStringLiteral("edit_pin_new"));
    confirmEdit_ = FindControl(QStringLiteral("edit_pin_new2"));
    currentLabel_ = FindControl(QStringLiteral("label_old_pin"));
    newLabel_ = FindControl(QStringLiteral("label_new_pin"));
    confirmLabel_ = FindControl(QStringLiteral("label_new_pin2"));
    Focus(currentEdit_);
    StartWatchdog(kWatchdogPeriodMs, CloseDelivery::kPost);
}

void CChangePINWnd::OnEnter() {
    Focus(okButton_);
    Confirm();
}

void CChangePINWnd::Confirm() {
    result_ = ChangeOnKey();
    if (result_ == SuccessValue()) {
        Close(1);
    }
}

bool CChangePINWnd::CheckEntries() {
    const std::pair<CControlUI*, CControlUI*> fields[] = {
        {currentEdit_, currentLabel_}, {newEdit_, newLabel_}, {confirmEdit_, confirmLabel_}};
    for (const auto& [edit, label] : fields) {
        if (const QString message = EntryProblem(TextOf(edit)); !message.isEmpty()) {
            SetTextOf(label, message);
            return false;
        }
    }
    if (TextOf(newEdit_) != TextOf(confirmEdit_)) {
        SetTextOf(confirmLabel_, QString::fromUtf8(pin_text::kMismatch));
        return false;
    }
    return true;
}

int CChangePINWnd::ChangeOnKey() {
    if (tokenAfterNewPin_.Pending()) {
        return tokenAfterNewPin_.Retry(Device());
    }
    if (!CheckEntries()) {
        return kStatusEntryError;
    }
    const Utf8Pin currentUtf8(TextOf(currentEdit_));
    const Utf8Pin freshUtf8(TextOf(newEdit_));
    const KeyOutcome outcome = ChangePinOnKey(Device(), currentUtf8.view(), freshUtf8.view());
    if (outcome.KeyAgreementFailed()) {
        return outcome.status;
    }
    if (outcome.succeeded) {
        ShowBox(pin_text::kChangeSucceeded, kMbOk);
        if (!outcome.tokenFollows || IsClosed()) {
            return outcome.status;  // no token to fetch, or the key went while the box was shown
        }
        return tokenAfterNewPin_.Fetch(Device(), freshUtf8.view());
    }
    if (outcome.locked) {
        SetTextOf(currentLabel_, QString::fromUtf8(pin_text::kLocked));
    } else {
        // A legacy answer that is not about the PIN (secure messaging, transport) carries no
        // count; a CTAP2 key is asked for its counter.
        const std::optional<std::uint32_t> retries = RetriesAfter(Device(), outcome);
        SetTextOf(currentLabel_,
                  retries ? RetryText(*retries) : QString::fromUtf8(pin_text::kChangeFailed));
    }
    return outcome.status;
}

void CChangePINWnd::OnNewPinChanged() {
    const QString fresh = TextOf(newEdit_);
    const QString confirmation = TextOf(confirmEdit_);
    if (fresh.size() >= kMinPinLength) {
        SetTextOf(newLabel_, QString());
    }
    if (confirmation.size() >= kMinPinLength) {
        SetTextOf(confirmLabel_, QString());
    }
    if (fresh.size() >= kMinPinLength && fresh == confirmation) {
        SetTextOf(newLabel_, QString());
    }
}

void CChangePINWnd::Notify(TNotifyUI& msg) {
    CControlUI* sender = msg.pSender;
    const QString name = sender == nullptr ? QString() : sender->GetName();
    const bool isEdit = sender != nullptr &&
                        (sender == currentEdit_ || sender == newEdit_ || sender == confirmEdit_);
    if (msg.sType == QLatin1String("click")) {
        if (name == QLatin1String("btn_ok")) {
            Confirm();
        } else if (name == QLatin1String("closebtn") || name == QLatin1String("btn_cancel")) {
            Close(kIdCancel);
            return;  // the default handling would close with 1
        }
    } else if (isEdit && msg.sType == QLatin1String("textchanged")) {
        if (sender == currentEdit_) {
            SetTextOf(currentLabel_, QString());
        } else {
            OnNewPinChanged();
        }
    } else if (isEdit && msg.sType == QLatin1String("setfocus")) {
        SelectAll(sender);
    }
    CPinDialogBase::Notify(msg);
}

}  // namespace kelvora
