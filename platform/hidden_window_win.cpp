#include "platform/hidden_window_win.h"

#include <utility>

namespace kelvora {

HiddenWindow::HiddenWindow(const wchar_t* className, MessageHandler handler, WindowHook onCreated,
                           WindowHook onExit)
    : className_(className),
      handler_(std::move(handler)),
      onCreated_(std::move(onCreated)),
      onExit_(std::move(onExit)) {
    started_ = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    thread_ = ::CreateThread(nullptr, 0, &ThreadMain, this, 0, nullptr);
    if (thread_ != nullptr && started_ != nullptr) {
        ::WaitForSingleObject(started_, INFINITE);
    }
}

HiddenWindow::~HiddenWindow() {
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

LRESULT CALLBACK HiddenWindow::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<HiddenWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    LRESULT result = 0;
    if (self != nullptr && self->handler_ && self->handler_(msg, wParam, lParam, result)) {
        return result;
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

DWORD WINAPI HiddenWindow::ThreadMain(void* self) {
    static_cast<HiddenWindow*>(self)->Run();
    return 0;
}

void HiddenWindow::Run() {
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = &WindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = className_;
    ::RegisterClassW(&windowClass);  // fails harmlessly when already registered
    HWND window = ::CreateWindowExW(0, className_, L"", WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr,
                                    instance, nullptr);
    if (window != nullptr) {
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        if (onCreated_) {
            onCreated_(window);
        }
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
    if (onExit_) {
        onExit_(window);
    }
}

}  // namespace kelvora
