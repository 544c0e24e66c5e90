// A clock for the fingerprint sequences: time moves only when told (or by a fixed step on
// every reading), sleeps are recorded and return at once, and a test may act on each sleep
// as if the user or the main window did something meanwhile.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/clock.h"

namespace kelvora::test {

class ScriptedClock final : public Clock {
  public:
    std::uint64_t NowMs() override {
        const std::uint64_t now = now_;
        now_ += stepPerReading;
        return now;
    }
    void SleepMs(std::uint32_t milliseconds) override {
        sleeps.push_back(milliseconds);
        now_ += milliseconds;
        if (onSleep) {
            onSleep(sleeps.size());
        }
    }

    std::uint64_t stepPerReading = 0;
    std::vector<std::uint32_t> sleeps;
    std::function<void(std::size_t sleepCount)> onSleep;

  private:
    std::uint64_t now_ = 1000;
};

}  // namespace kelvora::test
