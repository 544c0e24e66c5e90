#include <windows.h>

#include "app/power_monitor.h"

namespace kelvora {
namespace {

constexpr const wchar_t* kWindowClass = L"KelvoraPowerMonitor";

// Power broadcasts go to top-level windows only, so the monitor keeps a hidden one on a
// thread of its own. The C++ thread classes are not available with every MinGW threading
// model; the thread and its start-up signal are the system's own.
class WindowMonitor final : public PowerMonitor {
  public:
    explicit WindowMonitor(PowerChangeHandler handler) : handler_(std::move(handler)) {
        started_ = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
        thread_ = ::CreateThread(nullptr, 0, &ThreadMain, this, 0, nullptr);
        if (thread_ != nullptr && started_ != nullptr) {
            ::WaitForSingleObject(started_, INFINITE);
        }
    }

    ~WindowMonitor() override {
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

    WindowMonitor(const WindowMonitor&) = delete;
    WindowMonitor& operator=(const WindowMonitor&) = delete;

    bool Running() const { return window_ != nullptr; }

  private:
    static DWORD WINAPI ThreadMain(void* self) {
        static_cast<WindowMonitor*>(self)->Run();
        return 0;
    }

    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<WindowMonitor*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (msg == WM_POWERBROADCAST && self != nullptr) {
            if (wParam == PBT_APMSUSPEND) {
                self->handler_(PowerChange::kSuspend);
            } else if (wParam == PBT_APMRESUMESUSPEND) {
                self->handler_(PowerChange::kResume);
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

    void Run() {
        HINSTANCE instance = ::GetModuleHandleW(nullptr);
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = &WindowProc;
        windowClass.hInstance = instance;
        windowClass.lpszClassName = kWindowClass;
        ::RegisterClassW(&windowClass);  // fails harmlessly when already registered
        HWND window = ::CreateWindowExW(0, kWindowClass, L"", WS_OVERLAPPED, 0, 0, 0, 0, nullptr,
                                        nullptr, instance, nullptr);
        if (window != nullptr) {
            ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
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
    }

    PowerChangeHandler handler_;
    HANDLE started_ = nullptr;
    HANDLE thread_ = nullptr;
    HWND window_ = nullptr;  // written by the thread before it signals `started_`
};

}  // namespace

std::unique_ptr<PowerMonitor> StartPowerMonitor(PowerChangeHandler handler) {
    auto monitor = std::make_unique<WindowMonitor>(std::move(handler));
    if (!monitor->Running()) {
        return nullptr;
    }
    return monitor;
}

}  // namespace kelvora
