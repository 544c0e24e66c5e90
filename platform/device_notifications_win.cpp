#include <windows.h>
// after windows.h, which it needs
#include <dbt.h>

#include "platform/device_notifications.h"

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

// A hidden top-level window on a thread of its own, so notifications arrive whatever the
// user-interface toolkit does with its windows.
class WindowWatcher final : public DeviceInterfaceWatcher {
  public:
    // The C++ thread classes are not available with every MinGW threading model, so the
    // thread and the start-up signal are the system's own.
    explicit WindowWatcher(DeviceChangeHandler handler) : handler_(std::move(handler)) {
        started_ = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
        thread_ = ::CreateThread(nullptr, 0, &ThreadMain, this, 0, nullptr);
        if (thread_ != nullptr && started_ != nullptr) {
            ::WaitForSingleObject(started_, INFINITE);
        }
    }

    ~WindowWatcher() override {
        if (window_ != nullptr) {
            ::PostMessageW(window_, WM_CLOSE, 0, 0);
        }
        if (thread_ != nullptr) {
            ::WaitForSingleObject(thread_, INFINITE);
            ::CloseHandle(thread_);
        }
        if (started_ != nullptr) {
            ::CloseHandle(started_);
        }
    }

    WindowWatcher(const WindowWatcher&) = delete;
    WindowWatcher& operator=(const WindowWatcher&) = delete;

    bool Running() const { return window_ != nullptr; }

  private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<WindowWatcher*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (msg == WM_DEVICECHANGE && self != nullptr &&
            (wParam == DBT_DEVICEARRIVAL || wParam == DBT_DEVICEREMOVECOMPLETE)) {
            const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(lParam);
            if (header != nullptr && header->dbch_devicetype == DBT_DEVTYP_DEVICEINTERFACE) {
                const auto* record =
                    reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_W*>(header);
                self->handler_(wParam == DBT_DEVICEARRIVAL ? DeviceChangeKind::kArrival
                                                           : DeviceChangeKind::kRemoval,
                               ToUtf8(record->dbcc_name));
            }
            return TRUE;
        }
        if (msg == WM_CLOSE) {
            ::DestroyWindow(hwnd);
            return 0;
        }
        if (msg == WM_DESTROY) {
            ::PostQuitMessage(0);
            return 0;
        }
        return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    }

    static DWORD WINAPI ThreadMain(void* self) {
        static_cast<WindowWatcher*>(self)->Run();
        return 0;
    }

    void Run() {
        HINSTANCE instance = ::GetModuleHandleW(nullptr);
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = &WindowProc;
        windowClass.hInstance = instance;
        windowClass.lpszClassName = kWindowClass;
        ::RegisterClassW(&windowClass);  // fails harmlessly when already registered
        HWND window = ::CreateWindowExW(0, kWindowClass, L"", WS_OVERLAPPED, 0, 0, 0, 0, nullptr,
                                        nullptr, instance, nullptr);
        HDEVNOTIFY notification = nullptr;
        if (window != nullptr) {
            ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
            DEV_BROADCAST_DEVICEINTERFACE_W filter = {};
            filter.dbcc_size = sizeof filter;
            filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
            filter.dbcc_classguid = kUsbDeviceInterface;
            notification =
                ::RegisterDeviceNotificationW(window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
        }
        window_ = window;
        ::SetEvent(started_);
        if (window == nullptr) {
            return;
        }
        MSG msg;
        while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        if (notification != nullptr) {
            ::UnregisterDeviceNotification(notification);
        }
    }

    DeviceChangeHandler handler_;
    HANDLE started_ = nullptr;
    HANDLE thread_ = nullptr;
    HWND window_ = nullptr;  // written by the thread before it signals `started_`
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
