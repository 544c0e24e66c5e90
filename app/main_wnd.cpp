#include "app/main_wnd.h"

#include "app/device_path_match.h"
#include "dialogs/message_box/message_box.h"
#include "toolkit/container.h"

namespace kelvora {
namespace {

const QString kHelpText = QStringLiteral(
    "提示:\n\t\t\t\t① 各指紋テンプレートでは、4回の指紋サンプリングが必要です。"
    "正しく指紋が登録されるように指の位置を調整します。\n\t\t\t\t \n\t\t\t\t"
    "② 1本の指を繰り返し登録することで、指紋認証の成功率を上げることができます。\n\t\t\t\t \n"
    "\t\t\t\t③ 指が指紋センサーに完全に触れていることを確認してください。\n\t\t\t\t \n");
const QString kAboutTitle = QStringLiteral("Kelvora Fido2 管理ツールについて");
const QString kAboutText = QStringLiteral(
    "Kelvora FIDO2 管理ツール1.1\n\t\t\t\tKelvora Technologies\n\t\t\t\t   \n"
    "\t\t\t\thttps://www.kelvora.example/");

}  // namespace

CMainWnd::CMainWnd(HidBackend& backend, MainWndOptions options)
    : device_(backend, keyState_, *options.clock), options_(std::move(options)) {}

CMainWnd::~CMainWnd() = default;

void CMainWnd::InitWindow() {
    list_ = dynamic_cast<CListUI*>(FindControl(QStringLiteral("list_Fingerprint")));
    verifyButton_ = FindControl(QStringLiteral("btn_Verify"));
    enrollButton_ = FindControl(QStringLiteral("btn_Enroll"));
    formatButton_ = FindControl(QStringLiteral("btn_Format"));
    deleteButton_ = FindControl(QStringLiteral("btn_Delete"));
    editButton_ = FindControl(QStringLiteral("btn_edit"));
    helpButton_ = FindControl(QStringLiteral("btn_help"));
    changePinButton_ = FindControl(QStringLiteral("btn_change_pin"));
    passkeyButton_ = FindControl(QStringLiteral("btn_passkeys"));
    statusLabel_ = FindControl(QStringLiteral("label_status"));
    helpLabel_ = FindControl(QStringLiteral("label_help"));
    keyIcon_ = FindControl(QStringLiteral("label_icon_key_status"));
    keyPages_ = dynamic_cast<CTabLayoutUI*>(FindControl(QStringLiteral("switch")));
    fingerprintPages_ = dynamic_cast<CTabLayoutUI*>(FindControl(QStringLiteral("switch_fp")));
    // The layout is part of the executable; a control missing here is a build mistake,
    // and the window would be unusable without these.
    Q_ASSERT(list_ && verifyButton_ && enrollButton_ && formatButton_ && deleteButton_ &&
             editButton_ && changePinButton_ && passkeyButton_ && statusLabel_ && keyIcon_ &&
             keyPages_ && fingerprintPages_);
    RegisterDeviceNotification();
}

QString CMainWnd::GetItemText(CControlUI* control, int /*item*/, int /*subItem*/) {
    return control == nullptr ? QString() : control->GetUserData();
}

void CMainWnd::Notify(TNotifyUI& msg) {
    if (msg.sType == QLatin1String("windowinit")) {
        ConnectDevice();
        // The copy with administrator rights was handed "-E" and asks for the reset itself.
        if (!handedOver_ && keyState_.resetAtStart.exchange(false)) {
            ResetDevice();
        }
    } else if (msg.sType == QLatin1String("click") && msg.pSender != nullptr) {
        const QString name = msg.pSender->GetName();
        if (name == QLatin1String("btn_Delete")) {
            if (list_->GetCurSel() < 0) {
                return;
            }
            DeleteFingerprint(list_->GetItemAt(list_->GetCurSel())->GetTag());
            RefreshFingerprintList(true);
        } else {
            OnClick(name);
        }
    } else if (msg.sType == QLatin1String("itemselect") && msg.pSender == list_) {
        if (list_->GetCurSel() < 0) {
            return;
        }
        deleteButton_->SetEnabled(true);
        editButton_->SetEnabled(true);
    }
    WindowImplBase::Notify(msg);
}

void CMainWnd::OnClick(const QString& name) {
    if (name == QLatin1String("btn_Verify")) {
        VerifyFingerprint();
    } else if (name == QLatin1String("btn_Enroll")) {
        EnrollFingerprint();
    } else if (name == QLatin1String("btn_Format")) {
        ResetDevice();
    } else if (name == QLatin1String("btn_change_pin")) {
        ChangePin();
    } else if (name == QLatin1String("btn_edit")) {
        EditFingerprintName();
        RefreshFingerprintList(true);
    } else if (name == QLatin1String("btn_passkeys")) {
        ManagePasskeys();
    } else if (name == QLatin1String("btn_welcome")) {
        ShowWelcome();
    } else if (name == QLatin1String("btn_help")) {
        ShowHelp();
    } else if (name == QLatin1String("btn_about")) {
        ShowAbout();
    }
}

void CMainWnd::ShowHelp() {
    ShowMessageBox(GetHWND(), QString::fromUtf8(kApplicationTitle), kHelpText, kMbOk);
}

void CMainWnd::ShowAbout() {
    ShowMessageBox(GetHWND(), kAboutTitle, kAboutText, kMbOk);
}

LRESULT CMainWnd::MessageHandler(UINT msg, WPARAM wParam, LPARAM /*lParam*/, bool& handled) {
    // Neither key closes or triggers anything in the main window.
    if (msg == kWmKeyDown && (wParam == kVkReturn || wParam == kVkEscape)) {
        handled = true;
    }
    return 0;
}

LRESULT CMainWnd::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == kWmPowerBroadcast) {
        if (wParam == kPbtApmSuspend) {
            keyState_.systemSuspended = true;
        } else if (wParam == kPbtApmResumeSuspend) {
            keyState_.systemSuspended = false;
        }
    } else if (msg == kWmDeviceChange) {
        // The message's lParam is the record, as the toolkit documents.
        OnDeviceChange(
            wParam,
            reinterpret_cast<const DeviceBroadcast*>(lParam));  // NOLINT(performance-no-int-to-ptr)
    } else if (msg == kWmTimer) {
        OnTimer(static_cast<UINT>(wParam));
    }
    return WindowImplBase::HandleMessage(msg, wParam, lParam);
}

void CMainWnd::OnDeviceChange(WPARAM event, const DeviceBroadcast* record) {
    if (record == nullptr || record->deviceType != kDbtDevtypDeviceInterface ||
        (event != kDbtDeviceArrival && event != kDbtDeviceRemoveComplete) ||
        !PathNamesSupportedProduct(record->name)) {
        return;
    }
    // The toolkit's timers instead of waiting, so the window keeps drawing meanwhile.
    if (event == kDbtDeviceArrival) {
        SetTimer(kArrivalTimer, options_.arrivalDelayMs);
    } else {
        SetTimer(kRemovalTimer, options_.removalDelayMs);
    }
}

void CMainWnd::OnTimer(UINT id) {
    if ((id != kArrivalTimer && id != kRemovalTimer) || handedOver_) {
        return;
    }
    if (connecting_) {
        // A message box of the connection is open; handle the event once it has closed,
        // so the older connection cannot overwrite what the newer one found.
        return;
    }
    if (id == kArrivalTimer && dialogsRunning_ > 0) {
        // Connecting reopens the session a dialog's worker may be using; the timer fires
        // again once the dialog has closed.
        return;
    }
    KillTimer(id);
    if (id == kArrivalTimer) {
        ConnectDevice();
    } else {
        OnKeyRemoved();
    }
}

void CMainWnd::OnKeyRemoved() {
    keyState_.pinToken.Clear();
    keyState_.deviceAbsent = true;
    UpdateDeviceState(false);
    if (dialogsRunning_ == 0) {
        // Not while a dialog's worker may be exchanging with the key: the session serves
        // one thread at a time. The hidden list is rebuilt on the next connection anyway.
        RefreshFingerprintList(false);
    }
}

}  // namespace kelvora
