// What the three PIN dialogs share: the borrowed session, the watchdog that closes the
// dialog when the key goes away, the key filter (Enter confirms, Escape does nothing), the
// removal handling of the dialogs that watch device notifications, and small helpers for
// the fields and the message boxes.
//
// Each dialog runs its key exchanges synchronously on the UI thread when the user confirms.
#pragma once

#include <QString>
#include <cstdint>

#include "dialogs/pin/device_watchdog.h"
#include "toolkit/window_impl_base.h"
#include "transport/fido_device.h"

namespace kelvora {

class CPinDialogBase : public WindowImplBase {
  public:
    // `device` and `pacer` are borrowed and must outlive the dialog.
    CPinDialogBase(QString layout, FidoDevice& device, WatchdogPacer& pacer);
    ~CPinDialogBase() override;

    QString GetSkinFile() override { return layout_; }
    LRESULT MessageHandler(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled) override;

    // The watchdog, for tests: its thread's exit code once it closed the dialog.
    const DeviceWatchdog& Watchdog() const { return watchdog_; }

  protected:
    // Enter in the window.
    virtual void OnEnter() = 0;

    void StartWatchdog(std::uint32_t periodMs, CloseDelivery delivery);
    // For dialogs that registered for device notifications: closes the dialog (a plain
    // kWmClose, handled at once) when a watched key was removed.
    void CloseOnKeyRemoval(WPARAM event, LPARAM record);

    FidoDevice& Device() { return device_; }
    // What the attached key answers on success: 0x9000 for a legacy model, 0 otherwise.
    std::uint16_t SuccessValue() const;
    int ShowBox(const char* utf8Text, std::uint32_t type);
    // The entry-error text for `pin` under the attached key's rules; empty when acceptable.
    QString EntryProblem(const QString& pin) const;

    static QString TextOf(const CControlUI* control);
    static void SetTextOf(CControlUI* control, const QString& text);
    static void SelectAll(CControlUI* edit);
    static void Focus(CControlUI* control);

    void OnFinalMessage() override;

  private:
    QString layout_;
    FidoDevice& device_;
    WatchdogPacer& pacer_;
    DeviceWatchdog watchdog_;
};

}  // namespace kelvora
