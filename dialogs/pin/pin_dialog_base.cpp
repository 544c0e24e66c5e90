#include "dialogs/pin/pin_dialog_base.h"

#include <algorithm>

#include "ctap/status.h"
#include "dialogs/message_box/message_box.h"
#include "dialogs/pin/device_removal.h"
#include "dialogs/pin/pin_entry.h"
#include "toolkit/control.h"
#include "toolkit/edit.h"
#include "transport/device_ids.h"

namespace kelvora {

namespace {
// The PIN fields of the three layouts.
constexpr const char* kPinEditNames[] = {"edit_pin", "edit_pin2", "edit_pin_old", "edit_pin_new",
                                         "edit_pin_new2"};
}  // namespace

CPinDialogBase::CPinDialogBase(QString layout, FidoDevice& device, WatchdogPacer& pacer)
    : layout_(std::move(layout)), device_(device), pacer_(pacer) {}

CPinDialogBase::~CPinDialogBase() {
    // A dialog that goes without having been closed is closed first, so that the watchdog
    // is stopped with no window left to wait for.
    if (GetHWND() && !IsClosed()) {
        DispatchMessage(kWmClose, 0, 0);
    }
    watchdog_.Stop();
}

LRESULT CPinDialogBase::MessageHandler(UINT msg, WPARAM wParam, LPARAM /*lParam*/, bool& handled) {
    if (msg != kWmKeyDown || (wParam != kVkReturn && wParam != kVkEscape)) {
        return 0;
    }
    handled = true;
    if (wParam == kVkReturn) {
        OnEnter();
    }
    return 0;
}

void CPinDialogBase::StartWatchdog(std::uint32_t periodMs, CloseDelivery delivery) {
    watchdog_.Start(device_.State().deviceAbsent, GetHWND(), periodMs, delivery, pacer_);
}

void CPinDialogBase::CloseOnKeyRemoval(WPARAM event, LPARAM record) {
    // kWmDeviceChange carries its record as a pointer in lParam (window_messages.h).
    // NOLINTNEXTLINE(performance-no-int-to-ptr)
    if (IsWatchedKeyRemoval(event, reinterpret_cast<const DeviceBroadcast*>(record))) {
        SendWindowMessage(GetHWND(), kWmClose, 0, 0);
    }
}

void CPinDialogBase::OnFinalMessage() {
    // The PIN goes with the dialog. The characters are overwritten where the field keeps
    // them (the text it hands out shares its buffer), then the field is emptied, which also
    // drops its undo history.
    for (const char* name : kPinEditNames) {
        CControlUI* edit = FindControl(QString::fromLatin1(name));
        if (edit == nullptr) {
            continue;
        }
        const QString text = edit->GetText();
        if (!text.isEmpty()) {
            // NOLINTNEXTLINE(cppcoreguidelines-pro-type-const-cast)
            auto* characters = const_cast<QChar*>(text.constData());
            std::fill(characters, characters + text.size(), QChar());
        }
        edit->SetText(QString());
    }
    // The window is unregistered by now: a send from the watchdog has been released.
    watchdog_.Stop();
}

std::uint16_t CPinDialogBase::SuccessValue() const {
    return SuccessStatus(device_.State().selectedProductId.load());
}

QString CPinDialogBase::EntryProblem(const QString& pin) const {
    return PinLengthMessage(pin, device_.State().selectedProductId.load());
}

int CPinDialogBase::ShowBox(const char* utf8Text, std::uint32_t type) {
    return ShowMessageBox(GetHWND(), QString::fromUtf8(kApplicationTitle),
                          QString::fromUtf8(utf8Text), type);
}

QString CPinDialogBase::TextOf(const CControlUI* control) {
    return control == nullptr ? QString() : control->GetText();
}

void CPinDialogBase::SetTextOf(CControlUI* control, const QString& text) {
    if (control != nullptr) {
        control->SetText(text);
    }
}

void CPinDialogBase::SelectAll(CControlUI* edit) {
    if (auto* e = dynamic_cast<CEditUI*>(edit)) {
        e->SetSel(0, static_cast<int>(e->GetText().size()));
    }
}

void CPinDialogBase::Focus(CControlUI* control) {
    if (control != nullptr) {
        control->SetFocus();
    }
}

}  // namespace kelvora
