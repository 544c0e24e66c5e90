// A hidden top-level window with a message loop on a thread of its own. Device and power
// broadcasts go to top-level windows only, so the watchers that need them own one of these
// and stay independent of whatever the user-interface toolkit does with its windows.
#pragma once

#include <windows.h>

#include <functional>

namespace kelvora {

class HiddenWindow {
  public:
    // Returns true when it handled the message; `result` is then what the window returns.
    using MessageHandler =
        std::function<bool(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)>;
    // Run on the window's thread: right after the window exists, and after its loop ends.
    using WindowHook = std::function<void(HWND window)>;

    // Blocks until the window exists (or could not be made).
    HiddenWindow(const wchar_t* className, MessageHandler handler, WindowHook onCreated = {},
                 WindowHook onExit = {});
    // Closes the window and waits for its thread: no handler call follows.
    ~HiddenWindow();

    HiddenWindow(const HiddenWindow&) = delete;
    HiddenWindow& operator=(const HiddenWindow&) = delete;

    bool Running() const { return window_ != nullptr; }

  private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    static DWORD WINAPI ThreadMain(void* self);
    void Run();

    const wchar_t* className_;
    MessageHandler handler_;
    WindowHook onCreated_;
    WindowHook onExit_;
    // The C++ thread classes are not available with every MinGW threading model, so the
    // thread and the start-up signal are the system's own.
    HANDLE started_ = nullptr;
    HANDLE thread_ = nullptr;
    HWND window_ = nullptr;  // written by the thread before it signals `started_`
};

}  // namespace kelvora
