// Monotonic time and sleeping, behind an interface so that tests never wait through real
// delays (the settle delay of one model is two seconds).
#pragma once

#include <cstdint>

namespace kelvora {

class Clock {
  public:
    virtual ~Clock() = default;

    // Milliseconds from an arbitrary fixed point; never goes backwards.
    virtual std::uint64_t NowMs() = 0;

    // Blocks the calling thread for about `milliseconds`.
    virtual void SleepMs(std::uint32_t milliseconds) = 0;
};

// The real clock of the machine. Safe to use from any thread.
Clock& SystemClock();

}  // namespace kelvora
