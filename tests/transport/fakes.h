// Clock and debug output stand-ins shared by the transport tests.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"
#include "platform/debug_output.h"

namespace kelvora::test {

class FakeClock final : public Clock {
  public:
    std::uint64_t NowMs() override { return now; }
    void SleepMs(std::uint32_t milliseconds) override {
        sleeps.push_back(milliseconds);
        now += milliseconds;
    }
    std::uint64_t now = 1000;
    std::vector<std::uint32_t> sleeps;
};

class CapturedDebugOutput final : public DebugOutput {
  public:
    void Write(std::string_view line) override { lines.emplace_back(line); }
    std::vector<std::string> lines;
};

}  // namespace kelvora::test
