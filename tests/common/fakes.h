// The tool's clock and debug output in tests that drive it from one thread.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"
#include "platform/debug_output.h"

namespace kelvora::test {

// Time moves only when the tool sleeps (or by a fixed step on every reading); sleeps are
// recorded and return at once, and a test may act on each sleep as if the user or the main
// window did something meanwhile.
class FakeClock final : public Clock {
  public:
    std::uint64_t NowMs() override {
        const std::uint64_t reading = now;
        now += stepPerReading;
        return reading;
    }
    void SleepMs(std::uint32_t milliseconds) override {
        sleeps.push_back(milliseconds);
        now += milliseconds;
        if (onSleep) {
            onSleep(sleeps.size());
        }
    }

    std::uint64_t now = 1000;
    // Time that passes with every reading, for loops that never wait.
    std::uint64_t stepPerReading = 0;
    std::vector<std::uint32_t> sleeps;
    std::function<void(std::size_t sleepCount)> onSleep;
};

class CapturedDebugOutput final : public DebugOutput {
  public:
    void Write(std::string_view line) override { lines.emplace_back(line); }
    std::vector<std::string> lines;
};

}  // namespace kelvora::test
