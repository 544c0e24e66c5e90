// The system going to sleep and waking up. Windows: WM_POWERBROADCAST on a hidden window of
// the monitor's own thread. Linux: logind's PrepareForSleep signal on the system bus, which
// arrives on the user-interface thread.
#pragma once

#include <functional>
#include <memory>

namespace kelvora {

enum class PowerChange { kSuspend, kResume };

using PowerChangeHandler = std::function<void(PowerChange change)>;

class PowerMonitor {
  public:
    virtual ~PowerMonitor() = default;
};

// nullptr when the system offers no such notifications (no system bus, for example): the
// tool then simply never hears of sleep.
std::unique_ptr<PowerMonitor> StartPowerMonitor(PowerChangeHandler handler);

}  // namespace kelvora
