#include <windows.h>
// after windows.h, which it needs
#include <dbt.h>

#include "platform/device_notifications.h"
#include "platform/hidden_window_win.h"

#include <utility>

namespace kelvora {
namespace {

// GUID_DEVINTERFACE_USB_DEVICE {A5DCBF10-6530-11D2-901F-00C04FB951ED}.
constexpr GUID kUsbDeviceInterface = {
    0xA5DCBF10, 0x6530, 0x11D2, {0x90, 0x1F, 0x00, 0xC0, 0x4F, 0xB9, 0x51, 0xED}};
constexpr const wchar_t* kWindowClass = L"KelvoraDeviceWatcher";

std::string ToUtf8(const wchar_t* text) {
    const int length = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 1) {
        return {};
    }
    std::string out(static_cast<std::size_t>(length - 1), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), length, nullptr, nullptr);
    return out;
}

// Device-interface notifications for USB devices, received by a hidden window.
class WindowWatcher final : public DeviceInterfaceWatcher {
  public:
    explicit WindowWatcher(DeviceChangeHandler handler)
        : handler_(std::move(handler)),
          window_(
              kWindowClass,
              [this](UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
                  return OnMessage(msg, wParam, lParam, result);
              },
              [this](HWND window) { Register(window); }, [this](HWND) { Unregister(); }) {}

    bool Running() const { return window_.Running(); }

  private:
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
        if (msg != WM_DEVICECHANGE ||
            (wParam != DBT_DEVICEARRIVAL && wParam != DBT_DEVICEREMOVECOMPLETE)) {
            return false;
        }
        const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(lParam);
        if (header != nullptr && header->dbch_devicetype == DBT_DEVTYP_DEVICEINTERFACE) {
            const auto* record = reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_W*>(header);
            handler_(wParam == DBT_DEVICEARRIVAL ? DeviceChangeKind::kArrival
                                                 : DeviceChangeKind::kRemoval,
                     ToUtf8(record->dbcc_name));
        }
        result = TRUE;
        return true;
    }

    void Register(HWND window) {
        DEV_BROADCAST_DEVICEINTERFACE_W filter = {};
        filter.dbcc_size = sizeof filter;
        filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
        filter.dbcc_classguid = kUsbDeviceInterface;
        notification_ = ::RegisterDeviceNotificationW(window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
    }

    void Unregister() {
        if (notification_ != nullptr) {
            ::UnregisterDeviceNotification(notification_);
            notification_ = nullptr;
        }
    }

    DeviceChangeHandler handler_;
    HDEVNOTIFY notification_ = nullptr;  // used on the window's thread only
    HiddenWindow window_;                // last: its thread stops before the members above go
};

}  // namespace

std::unique_ptr<DeviceInterfaceWatcher> WatchDeviceInterfaces(DeviceChangeHandler handler) {
    auto watcher = std::make_unique<WindowWatcher>(std::move(handler));
    if (!watcher->Running()) {
        return nullptr;
    }
    return watcher;
}

}  // namespace kelvora
