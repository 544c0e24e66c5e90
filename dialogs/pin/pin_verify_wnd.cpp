#include "dialogs/pin/pin_verify_wnd.h"

#include <optional>

#include "ctap/client_pin.h"
#include "ctap/key_operations.h"
#include "ctap/status.h"
#include "dialogs/pin/pin_entry.h"
#include "toolkit/control.h"

namespace kelvora {

CPINVerifyWnd::CPINVerifyWnd(FidoDevice& device, WatchdogPacer& pacer)
    : CPinDialogBase(QStringLiteral("verifyPIN.xml"), device, pacer) {}

void CPINVerifyWnd::InitWindow() {
    pinEdit_ = FindControl(QStringLiteral("edit_pin"));
    statusLabel_ = FindControl(QStringLiteral("label_status"));
    Focus(pinEdit_);
    StartWatchdog(kWatchdogPeriodMs, CloseDelivery::kSend);
    RegisterDeviceNotification();
}

void CPINVerifyWnd::Confirm() {
    result_ = Verify(TextOf(pinEdit_));
    if (result_ == SuccessValue()) {
        Close(1);
    }
}

int CPINVerifyWnd::Verify(const QString& pin) {
    if (const QString message = EntryProblem(pin); !message.isEmpty()) {
        SetTextOf(statusLabel_, message);
        return kStatusEntryError;
    }
    const Utf8Pin utf8(pin);
    const KeyOutcome outcome = VerifyPinOnKey(Device(), utf8.view());
    const int status = outcome.status;
    if (outcome.KeyAgreementFailed() || status == kNoPinToken || outcome.succeeded) {
        return status;
    }
    if (outcome.wrongPin) {
        SetTextOf(statusLabel_, QString::fromUtf8(pin_text::kVerifyFailed));
    } else if (outcome.locked) {
        SetTextOf(statusLabel_, QString::fromUtf8(pin_text::kLocked));
    } else {
        // A count the key did not tell is no count: never shown as a lock.
        const std::optional<std::uint32_t> retries = GetPinRetries(Device());
        SetTextOf(statusLabel_, !retries        ? QString::fromUtf8(pin_text::kVerifyFailed)
                                : *retries == 0 ? QString::fromUtf8(pin_text::kLocked)
                                                : RetryText(*retries));
    }
    return status;
}

void CPINVerifyWnd::Notify(TNotifyUI& msg) {
    const QString name = msg.pSender == nullptr ? QString() : msg.pSender->GetName();
    if (msg.sType == QLatin1String("click")) {
        if (name == QLatin1String("btn_ok")) {
            Confirm();
        } else if (name == QLatin1String("closebtn")) {
            Close(2);
            return;  // the default handling would close with 1
        }
    } else if (msg.pSender == pinEdit_ && pinEdit_ != nullptr) {
        if (msg.sType == QLatin1String("textchanged") && TextOf(pinEdit_).size() >= kMinPinLength) {
            SetTextOf(statusLabel_, QString());
        } else if (msg.sType == QLatin1String("setfocus")) {
            SelectAll(pinEdit_);
        }
    }
    CPinDialogBase::Notify(msg);
}

LRESULT CPINVerifyWnd::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == kWmDeviceChange) {
        CloseOnKeyRemoval(wParam, lParam);
    }
    return CPinDialogBase::HandleMessage(msg, wParam, lParam);
}

}  // namespace kelvora
