// The rename dialog: shows the visible part of a fingerprint's stored name, checks the new
// name's length and stores it behind the old hidden prefix with setFriendlyName, on the UI
// thread. Closes when the key goes away.
#pragma once

#include <QString>
#include <cstdint>
#include <string>

#include "dialogs/fingerprint/fingerprint_dialog_base.h"
#include "dialogs/pin/device_watchdog.h"
#include "transport/fido_device.h"

namespace kelvora {

namespace name_text {
inline constexpr const char* kEmpty = "指紋名を入力してください。";
inline constexpr const char* kTooShort = "指紋名は2文字以上で設定してください。";
inline constexpr const char* kTooLong = "指紋名は8文字以内で設定してください。";
// A rename the key refused. The message names the operation that failed: the user renamed,
// nothing was deleted.
inline constexpr const char* kRenameFailed = "指紋名の変更に失敗しました。";
}  // namespace name_text

// The complaint about `name`'s length (ctap/input_rules.h, in UTF-16 characters of the edit
// box), or empty when it is acceptable.
QString FingerNameLengthMessage(const QString& name);

class CEditFingerNameWnd final : public CFingerprintDialogBase {
  public:
    static constexpr std::uint32_t kWatchdogPeriodMs = 100;

    // `currentName` is the stored name (ANSI code page bytes). `device` and `pacer` must
    // outlive the dialog.
    CEditFingerNameWnd(FidoDevice& device, std::string currentName, std::uint16_t slot,
                       WatchdogPacer& pacer = RealTimePacer());
    ~CEditFingerNameWnd() override;

    // The outcome of the last apply: 0xFFEE after a length complaint, 2 after a cancel.
    std::uint32_t GetResult() const { return result_; }

    void InitWindow() override;
    void Notify(TNotifyUI& msg) override;
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

    const DeviceWatchdog& Watchdog() const { return watchdog_; }

  protected:
    void OnEnter() override { ApplyAndClose(); }
    void OnFinalMessage() override;

  private:
    std::uint32_t Apply();
    void ApplyAndClose();

    FidoDevice& device_;
    std::string currentName_;
    std::uint16_t slot_;
    WatchdogPacer& pacer_;
    DeviceWatchdog watchdog_;
    std::uint32_t result_ = 0;
    CControlUI* okButton_ = nullptr;
    CControlUI* edit_ = nullptr;
    CControlUI* message_ = nullptr;
};

}  // namespace kelvora
