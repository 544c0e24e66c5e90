// One clock for the tool and in-process virtual keys: the tool's pauses move the keys' time
// on, so settle delays, a key's finger waits and time-outs play out without real sleeping.
#pragma once

#include <cstdint>
#include <functional>
#include <numeric>
#include <vector>

#include "platform/clock.h"
#include "vkey/clock.h"

namespace kelvora::test {

class SharedClock final : public Clock {
  public:
    explicit SharedClock(vkey::ManualClock& keyClock) : keyClock_(keyClock) {}
    std::uint64_t NowMs() override {
        const auto now = static_cast<std::uint64_t>(keyClock_.NowMs());
        keyClock_.Advance(stepPerReading);
        return now;
    }
    void SleepMs(std::uint32_t milliseconds) override {
        sleeps.push_back(milliseconds);
        keyClock_.Advance(milliseconds);
        if (onSleep) {
            onSleep(sleeps.size());
        }
    }
    std::uint64_t SleptMs() const {
        return std::accumulate(sleeps.begin(), sleeps.end(), std::uint64_t{0});
    }
    // Time that passes with every reading, for loops that never wait (the legacy poll).
    std::int64_t stepPerReading = 0;
    std::vector<std::uint32_t> sleeps;
    std::function<void(std::size_t sleepCount)> onSleep;

  private:
    vkey::ManualClock& keyClock_;
};

}  // namespace kelvora::test
