// The tool's clock for whole-program tests in which a person acts in real time.
#pragma once

#include <chrono>
#include <cstdint>

#include "platform/clock.h"

namespace kelvora::test {

// Time runs five times faster than real time, the tool's pauses included: a pause lasts a
// fifth of its length. The tool's limits end soon and still leave a person acting in real
// time a fifth of the time a person has. Pauses that passed at once would let a polling
// worker use up the legacy verification's ten seconds in a fraction of a second of real time,
// before a person on a busy machine has laid the finger on. Safe from any thread.
class QuickClock final : public Clock {
  public:
    QuickClock();
    std::uint64_t NowMs() override;
    void SleepMs(std::uint32_t milliseconds) override;

  private:
    static constexpr std::uint64_t kSpeedUp = 5;
    const std::chrono::steady_clock::time_point start_;
};

}  // namespace kelvora::test
