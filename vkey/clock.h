// The virtual key's sense of time. Every time-out of the key (finger waits, the reset window,
// keep-alive pacing, message assembly) is measured on this clock, so tests can step through a
// five-second wait without sleeping.
#pragma once

#include <atomic>
#include <cstdint>

namespace kelvora::vkey {

class Clock {
  public:
    virtual ~Clock() = default;
    // Milliseconds on a monotonic scale with an arbitrary origin.
    virtual std::int64_t NowMs() const = 0;
};

// The process's steady clock; what the daemon and the demo use.
class SteadyClock final : public Clock {
  public:
    std::int64_t NowMs() const override;
};

// A clock that moves only when told; safe to advance from a test thread while the key's
// reader runs on another.
class ManualClock final : public Clock {
  public:
    explicit ManualClock(std::int64_t startMs = 0) : nowMs_(startMs) {}
    std::int64_t NowMs() const override { return nowMs_.load(std::memory_order_acquire); }
    void Advance(std::int64_t ms) { nowMs_.fetch_add(ms, std::memory_order_acq_rel); }

  private:
    std::atomic<std::int64_t> nowMs_;
};

}  // namespace kelvora::vkey
