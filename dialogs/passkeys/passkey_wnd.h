// The passkey window: the key's passkeys, a row each with its site and user, and the deletion
// of the selected one after a confirmation. A worker reads and deletes (the key checks the PIN
// token, which the caller has the PIN verification dialog obtain first) and only posts its
// outcome; the window reads the key again after every deletion, so it shows what the key
// holds rather than what it should hold. It closes itself once the key has gone.
#pragma once

#include <QString>
#include <atomic>
#include <cstddef>
#include <mutex>
#include <utility>
#include <vector>

#include "ctap/key_operations.h"
#include "ctap/passkey_record.h"
#include "dialogs/fingerprint/fingerprint_dialog_base.h"
#include "dialogs/pin/device_watchdog.h"
#include "transport/fido_device.h"

namespace kelvora {

class CListUI;

inline constexpr UINT WM_PASSKEYS_READ = kWmUser + 111;
inline constexpr UINT WM_PASSKEY_DELETED = kWmUser + 112;

inline constexpr const char* kPasskeyRowLayout = "passkey_list_item.xml";

class CPasskeyWnd final : public CFingerprintDialogBase {
  public:
    static constexpr std::uint32_t kWatchdogPeriodMs = 100;

    // `device` and `pacer` must outlive the window.
    explicit CPasskeyWnd(FidoDevice& device, WatchdogPacer& pacer = RealTimePacer());
    ~CPasskeyWnd() override;

    void InitWindow() override;
    void Notify(TNotifyUI& msg) override;
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

    // What the list shows, from the last reading.
    const std::vector<PasskeySite>& Sites() const { return sites_; }
    // A worker is reading or deleting.
    bool Busy() const { return busy_; }
    // Passkeys the key deleted while the window was open.
    int DeletedCount() const { return deleted_; }

  protected:
    void OnFinalMessage() override;

  private:
    // What a reading brought; the worker fills it before it posts, the window takes it then.
    struct Reading {
        KeyOutcome listing;
        KeyOutcome metadata;
        std::vector<PasskeySite> sites;
        PasskeyMetadata counts;
    };

    void StartReading();
    void ShowReading();
    void DeleteSelected();
    void SetBusy(bool busy, const QString& message);

    FidoDevice& device_;
    WatchdogPacer& pacer_;
    DeviceWatchdog watchdog_;
    std::mutex readingMutex_;
    Reading reading_;
    std::vector<PasskeySite> sites_;
    // Row number to (site, passkey) in sites_.
    std::vector<std::pair<std::size_t, std::size_t>> rows_;
    bool busy_ = false;
    int deleted_ = 0;
    CListUI* list_ = nullptr;
    CControlUI* summary_ = nullptr;
    CControlUI* message_ = nullptr;
    CControlUI* deleteButton_ = nullptr;
};

}  // namespace kelvora
