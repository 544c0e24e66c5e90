#include "dialogs/pin/device_watchdog.h"

#include "toolkit/window_registry.h"

namespace kelvora {

void StopSignal::Stop() {
    {
        std::lock_guard lock(mutex_);
        stopped_ = true;
    }
    wake_.notify_all();
}

bool StopSignal::Stopped() const {
    std::lock_guard lock(mutex_);
    return stopped_;
}

bool StopSignal::WaitFor(std::chrono::milliseconds duration) {
    std::unique_lock lock(mutex_);
    return wake_.wait_for(lock, duration, [this] { return stopped_; });
}

namespace {
class RealTime final : public WatchdogPacer {
  public:
    void Pause(std::uint32_t periodMs, StopSignal& stop) override {
        stop.WaitFor(std::chrono::milliseconds(periodMs));
    }
};
}  // namespace

WatchdogPacer& RealTimePacer() {
    static RealTime pacer;
    return pacer;
}

void DeviceWatchdog::Start(const std::atomic<bool>& deviceAbsent, WindowHandle window,
                           std::uint32_t periodMs, CloseDelivery delivery, WatchdogPacer& pacer) {
    if (thread_.joinable()) {
        return;
    }
    stop_ = std::make_shared<StopSignal>();
    thread_ = std::thread(
        [&deviceAbsent, window, periodMs, delivery, &pacer, stop = stop_, &exitCode = exitCode_] {
            do {
                pacer.Pause(periodMs, *stop);
                if (stop->Stopped()) {
                    return;
                }
            } while (!deviceAbsent.load());
            exitCode.store(kWatchdogClosedWindow);
            if (delivery == CloseDelivery::kSend) {
                SendWindowMessage(window, kWmClose, 0, 0);
            } else {
                PostWindowMessage(window, kWmClose, 0, 0);
            }
        });
}

void DeviceWatchdog::Stop() {
    if (stop_) {
        stop_->Stop();
    }
    if (thread_.joinable()) {
        thread_.join();
    }
}

}  // namespace kelvora
