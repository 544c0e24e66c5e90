// The tool's clock for window tests whose workers run on their own threads.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

#include "platform/clock.h"

namespace kelvora::test {

// A clock safe for the workers: a pause lasts a real millisecond whatever its length, and
// every reading moves time on a little, so loops bounded by time end without real waiting.
class SteppingClock final : public Clock {
  public:
    explicit SteppingClock(std::uint64_t stepMs) : stepMs_(stepMs) {}
    std::uint64_t NowMs() override { return now_.fetch_add(stepMs_) + stepMs_; }
    void SleepMs(std::uint32_t milliseconds) override;
    std::vector<std::uint32_t> Sleeps() const;
    // Holds every pause of `milliseconds` until Release, so a test can look at what a window
    // shows while its worker waits.
    void HoldPausesOf(std::uint32_t milliseconds);
    void Release();

  private:
    std::condition_variable released_;
    std::uint32_t heldMs_ = 0;  // guarded by mutex_

    const std::uint64_t stepMs_;
    std::atomic<std::uint64_t> now_{1000};
    mutable std::mutex mutex_;
    std::vector<std::uint32_t> sleeps_;
};

}  // namespace kelvora::test
