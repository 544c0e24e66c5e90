// Closes a dialog once the key has gone: a thread that looks at keyState.deviceAbsent once a
// period and then delivers a plain kWmClose to the dialog's window.
//
// The watchdog ends with its dialog. Stop() wakes it from its pause and joins it, so it never
// outlives the window it was given nor the key state it reads. A window must be closed (its
// handle no longer registered) before Stop() is called from the UI thread when the watchdog
// sends rather than posts; a send to a closed window returns at once, so the join cannot wait
// on the UI thread.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

#include "toolkit/window_messages.h"

namespace kelvora {

// A one-way flag that also ends a pause in progress.
class StopSignal {
  public:
    void Stop();
    bool Stopped() const;
    // Waits up to `duration` of real time; true once stopped.
    bool WaitFor(std::chrono::milliseconds duration);

  private:
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    bool stopped_ = false;
};

// How the watchdog spends the time between two looks at the flag. Tests substitute a pacer
// that does not wait the whole period.
class WatchdogPacer {
  public:
    virtual ~WatchdogPacer() = default;
    // Pauses for `periodMs`, returning early once `stop` is signalled. Called on the
    // watchdog's thread; implementations must be safe to call from several at once.
    virtual void Pause(std::uint32_t periodMs, StopSignal& stop) = 0;
};

// Waits the real period.
WatchdogPacer& RealTimePacer();

// How the close reaches the window: queued (post) or handled before the watchdog goes on
// (send).
enum class CloseDelivery { kPost, kSend };

// The value the watchdog's thread ends with after it closed its window.
inline constexpr int kWatchdogClosedWindow = 1001;

class DeviceWatchdog {
  public:
    DeviceWatchdog() = default;
    ~DeviceWatchdog() { Stop(); }
    DeviceWatchdog(const DeviceWatchdog&) = delete;
    DeviceWatchdog& operator=(const DeviceWatchdog&) = delete;

    // Starts the thread; a second Start while one runs does nothing. `deviceAbsent` and
    // `pacer` must outlive the watchdog or the next Stop().
    void Start(const std::atomic<bool>& deviceAbsent, WindowHandle window, std::uint32_t periodMs,
               CloseDelivery delivery, WatchdogPacer& pacer);

    // Ends the thread and waits for it. Safe to call more than once.
    void Stop();

    bool Running() const { return thread_.joinable(); }
    // kWatchdogClosedWindow once the watchdog closed its window, 0 before.
    int ExitCode() const { return exitCode_.load(); }

  private:
    std::shared_ptr<StopSignal> stop_;
    std::thread thread_;
    std::atomic<int> exitCode_{0};
};

}  // namespace kelvora
