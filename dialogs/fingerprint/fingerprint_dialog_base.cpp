#include "dialogs/fingerprint/fingerprint_dialog_base.h"

#include "toolkit/control.h"

namespace kelvora {

CFingerprintDialogBase::CFingerprintDialogBase(QString layout) : layout_(std::move(layout)) {}

CFingerprintDialogBase::~CFingerprintDialogBase() {
    JoinWorker();
}

LRESULT CFingerprintDialogBase::MessageHandler(UINT msg, WPARAM wParam, LPARAM /*lParam*/,
                                               bool& handled) {
    if (msg != kWmKeyDown || (wParam != kVkReturn && wParam != kVkEscape)) {
        return 0;
    }
    handled = true;
    if (wParam == kVkReturn) {
        OnEnter();
    } else {
        OnEscape();
    }
    return 0;
}

void CFingerprintDialogBase::StartWorker(std::function<void(WindowHandle)> work) {
    if (worker_.joinable()) {
        return;
    }
    worker_ = std::thread([work = std::move(work), window = GetHWND()] { work(window); });
}

void CFingerprintDialogBase::StartNextWorker(std::function<void(WindowHandle)> work) {
    if (stop_.load()) {
        return;  // the window is ending
    }
    if (worker_.joinable()) {
        worker_.join();
    }
    StartWorker(std::move(work));
}

void CFingerprintDialogBase::JoinWorker() {
    stop_.store(true);
    if (worker_.joinable()) {
        worker_.join();
    }
}

void CFingerprintDialogBase::OnFinalMessage() {
    JoinWorker();
}

void CFingerprintDialogBase::SetTextOf(CControlUI* control, const QString& text) {
    if (control != nullptr) {
        control->SetText(text);
    }
}

void CFingerprintDialogBase::SetImageOf(CControlUI* control, const QString& image) {
    if (control != nullptr) {
        control->SetBkImage(image);
    }
}

}  // namespace kelvora
