// The tool's clock, debug output and administrator rights in tests that drive it from one thread.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"
#include "platform/debug_output.h"
#include "platform/elevation.h"

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

class NullDebugOutput final : public DebugOutput {
  public:
    void Write(std::string_view /*line*/) override {}
};

class CapturedDebugOutput final : public DebugOutput {
  public:
    void Write(std::string_view line) override { lines.emplace_back(line); }
    std::vector<std::string> lines;
};

// Administrator rights as the test sets them. Each start with them is recorded and answered
// as told; `onStart` runs at the moment of the call, when a new copy would be starting.
class FakeElevation final : public Elevation {
  public:
    bool KeysNeedElevation() override { return keysNeedElevation; }
    bool IsElevated() override { return elevated; }
    ElevatedStart StartElevated(const std::vector<std::string>& arguments) override {
        starts.push_back(arguments);
        if (onStart) {
            onStart();
        }
        return answer;
    }

    bool keysNeedElevation = true;
    bool elevated = false;
    ElevatedStart answer = ElevatedStart::kDeclined;
    std::vector<std::vector<std::string>> starts;
    std::function<void()> onStart;
};

}  // namespace kelvora::test
