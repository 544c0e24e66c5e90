#include <windows.h>

#include "app/power_monitor.h"
#include "platform/hidden_window_win.h"

#include <utility>

namespace kelvora {
namespace {

constexpr const wchar_t* kWindowClass = L"KelvoraPowerMonitor";

// Suspend and resume broadcasts, received by a hidden window.
class WindowMonitor final : public PowerMonitor {
  public:
    explicit WindowMonitor(PowerChangeHandler handler)
        : handler_(std::move(handler)),
          window_(kWindowClass, [this](UINT msg, WPARAM wParam, LPARAM, LRESULT& result) {
              return OnMessage(msg, wParam, result);
          }) {}

    bool Running() const { return window_.Running(); }

  private:
    bool OnMessage(UINT msg, WPARAM wParam, LRESULT& result) {
        if (msg != WM_POWERBROADCAST) {
            return false;
        }
        if (wParam == PBT_APMSUSPEND) {
            handler_(PowerChange::kSuspend);
        } else if (wParam == PBT_APMRESUMESUSPEND) {
            handler_(PowerChange::kResume);
        }
        result = TRUE;
        return true;
    }

    PowerChangeHandler handler_;
    HiddenWindow window_;  // last: its thread stops before the handler goes
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
