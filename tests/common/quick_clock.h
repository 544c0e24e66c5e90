// The tool's clock for whole-program tests in which a person acts in real time.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>

#include "platform/clock.h"

namespace kelvora::test {

// Time runs five times faster than real time and pauses pass at once (a millisecond of real
// time), so the tool's time limits end soon without leaving the person too little time to
// act. Safe from any thread.
class QuickClock final : public Clock {
  public:
    QuickClock();
    std::uint64_t NowMs() override;
    void SleepMs(std::uint32_t milliseconds) override;

  private:
    static constexpr std::uint64_t kSpeedUp = 5;
    const std::chrono::steady_clock::time_point start_;
    std::atomic<std::uint64_t> slept_{0};
};

}  // namespace kelvora::test
