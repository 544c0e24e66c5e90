// The management operations behind the main window's buttons. Each is a fixed sequence of
// identity checks and modal dialogs; the dialogs they open are added with the operations,
// so for now each button is dispatched here and the sequences start at these points.

#include "app/main_wnd.h"
#include "ctap/get_info.h"
#include "dialogs/message_box/message_box.h"

namespace kelvora {
namespace {

const QString kResetWarningTitle = QStringLiteral("警告");
const QString kResetWarning = QStringLiteral(
    "デバイスリセット\nデバイスは出荷時の設定にリセットされます。\n全てのデータは消去されます。\n"
    "【注意事項】\n一部のデバイスに、端末と接続してから10秒以内にリセット操作を実施してください。\n"
    "リセット操作ができない場合は、デバイスを抜き差し操作を実施してください。 ");

}  // namespace

void CMainWnd::VerifyFingerprint() {}

void CMainWnd::EnrollFingerprint() {}

void CMainWnd::DeleteFingerprint(std::uintptr_t /*templateId*/) {}

void CMainWnd::EditFingerprintName() {}

void CMainWnd::ChangePin() {}

void CMainWnd::ShowWelcome() {}

void CMainWnd::ResetDevice() {
    AuthenticatorCaps caps;
    GetAuthenticatorInfo(device_, caps);  // refreshes the key state; the answer is not needed
    if (ShowMessageBox(GetHWND(), kResetWarningTitle, kResetWarning,
                       kMbOkCancel | kMbIconWarning) != kIdOk) {
        return;
    }
    // The reset dialog runs the reset itself and reports its status; it opens here.
}

}  // namespace kelvora
