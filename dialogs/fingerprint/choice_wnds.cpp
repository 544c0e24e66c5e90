#include "dialogs/fingerprint/choice_wnds.h"

#include "dialogs/pin/device_removal.h"
#include "toolkit/control.h"

namespace kelvora {

namespace {
constexpr int kChosenCloseCode = 1;
constexpr int kDismissedCloseCode = 2;

QString SenderName(const TNotifyUI& msg) {
    return msg.pSender == nullptr ? QString() : msg.pSender->GetName();
}

// Sends kWmClose to `window` when the notification is the removal of a watched key.
void CloseOnWatchedRemoval(WindowHandle window, WPARAM event, LPARAM record) {
    // kWmDeviceChange carries its record as a pointer in lParam (window_messages.h).
    // NOLINTNEXTLINE(performance-no-int-to-ptr)
    if (IsWatchedKeyRemoval(event, reinterpret_cast<const DeviceBroadcast*>(record))) {
        SendWindowMessage(window, kWmClose, 0, 0);
    }
}
}  // namespace

void CChoiceWnd::Notify(TNotifyUI& msg) {
    if (msg.sType == QLatin1String("click")) {
        const QString name = SenderName(msg);
        if (name == QLatin1String("btn_pin") || name == QLatin1String("btn_fp")) {
            choice_ = name == QLatin1String("btn_pin") ? kChosePin : kChoseFingerprint;
            Close(kChosenCloseCode);
            return;
        }
        if (name == QLatin1String("closebtn")) {
            Close(kDismissedCloseCode);
            return;
        }
    }
    CFingerprintDialogBase::Notify(msg);
}

CVerifyOptionWnd::CVerifyOptionWnd(const std::atomic<bool>& deviceAbsent, WatchdogPacer& pacer)
    : CChoiceWnd(QStringLiteral("VerifyOption.xml")), deviceAbsent_(deviceAbsent), pacer_(pacer) {}

CVerifyOptionWnd::~CVerifyOptionWnd() {
    if (GetHWND() && !IsClosed()) {
        DispatchMessage(kWmClose, 0, 0);
    }
    watchdog_.Stop();
}

void CVerifyOptionWnd::InitWindow() {
    watchdog_.Start(deviceAbsent_, GetHWND(), kWatchdogPeriodMs, CloseDelivery::kPost, pacer_);
}

void CVerifyOptionWnd::OnFinalMessage() {
    watchdog_.Stop();
    CChoiceWnd::OnFinalMessage();
}

LRESULT CVerifyModeWnd::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == kWmDeviceChange) {
        CloseOnWatchedRemoval(GetHWND(), wParam, lParam);
    }
    return CChoiceWnd::HandleMessage(msg, wParam, lParam);
}

CWelcomeWnd::CWelcomeWnd(LinkOpener& opener)
    : CFingerprintDialogBase(QStringLiteral("welcome.xml")), opener_(opener) {}

void CWelcomeWnd::Notify(TNotifyUI& msg) {
    if (msg.sType == QLatin1String("click")) {
        const QString name = SenderName(msg);
        for (std::size_t i = 0; i < kWelcomeLinks.size(); ++i) {
            if (name == QStringLiteral("btn_%1").arg(i + 1)) {
                opener_.Open(kWelcomeLinks[i]);
                return;
            }
        }
    }
    CFingerprintDialogBase::Notify(msg);
}

LRESULT CWelcomeWnd::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == kWmDeviceChange) {
        CloseOnWatchedRemoval(GetHWND(), wParam, lParam);
    }
    return CFingerprintDialogBase::HandleMessage(msg, wParam, lParam);
}

}  // namespace kelvora
