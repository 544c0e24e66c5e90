// Three small windows without any exchange with the key: how to prove identity (PIN or
// fingerprint), how a new key is to be used (PIN or fingerprint, or fingerprint only), and
// the welcome window's links.
#pragma once

#include <QString>
#include <array>
#include <atomic>
#include <cstdint>

#include "dialogs/fingerprint/fingerprint_dialog_base.h"
#include "dialogs/fingerprint/link_opener.h"
#include "dialogs/pin/device_watchdog.h"

namespace kelvora {

// The choice of the option and mode windows.
enum OptionChoice : std::uint32_t {
    kNoChoice = 0,
    kChosePin = 1,
    kChoseFingerprint = 2,
};

// The option and mode windows: a row per choice, whose picture and text are two buttons of
// the same name.
class CChoiceWnd : public CFingerprintDialogBase {
  public:
    explicit CChoiceWnd(QString layout) : CFingerprintDialogBase(std::move(layout)) {}

    // The row picked; kNoChoice unless the window closed with 1.
    std::uint32_t GetResult() const { return choice_; }

    void Notify(TNotifyUI& msg) override;

  private:
    std::uint32_t choice_ = kNoChoice;
};

// Closes itself through a watcher of deviceAbsent once the key has gone.
class CVerifyOptionWnd final : public CChoiceWnd {
  public:
    static constexpr std::uint32_t kWatchdogPeriodMs = 100;

    // `deviceAbsent` and `pacer` must outlive the window.
    explicit CVerifyOptionWnd(const std::atomic<bool>& deviceAbsent,
                              WatchdogPacer& pacer = RealTimePacer());
    ~CVerifyOptionWnd() override;

    void InitWindow() override;
    const DeviceWatchdog& Watchdog() const { return watchdog_; }

  protected:
    void OnFinalMessage() override;

  private:
    const std::atomic<bool>& deviceAbsent_;
    WatchdogPacer& pacer_;
    DeviceWatchdog watchdog_;
};

// Closes itself on the removal notification of a watched key.
class CVerifyModeWnd final : public CChoiceWnd {
  public:
    CVerifyModeWnd() : CChoiceWnd(QStringLiteral("VerifyMode.xml")) {}

    void InitWindow() override { RegisterDeviceNotification(); }
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
};

// The addresses behind "btn_1" to "btn_5".
inline constexpr std::array<const char*, 5> kWelcomeLinks = {
    "https://www.kelvora.example/products/fingerprint-keys",
    "https://www.kelvora.example/support/resources",
    "https://shop.kelvora.example/na/collections/fido2",
    "https://store.kelvora.example/",
    "https://www.kelvora.example/support/inquiry",
};

class CWelcomeWnd final : public CFingerprintDialogBase {
  public:
    // `opener` must outlive the window.
    explicit CWelcomeWnd(LinkOpener& opener = SystemLinkOpener());

    void InitWindow() override { RegisterDeviceNotification(); }
    void Notify(TNotifyUI& msg) override;
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

  protected:
    void OnEscape() override { Close(1); }

  private:
    LinkOpener& opener_;
};

}  // namespace kelvora
