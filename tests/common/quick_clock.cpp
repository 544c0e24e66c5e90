#include "tests/common/quick_clock.h"

#include <algorithm>
#include <thread>

namespace kelvora::test {

QuickClock::QuickClock() : start_(std::chrono::steady_clock::now()) {}

std::uint64_t QuickClock::NowMs() {
    const auto real = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start_);
    return 1000 + static_cast<std::uint64_t>(real.count()) * kSpeedUp;
}

void QuickClock::SleepMs(std::uint32_t milliseconds) {
    std::this_thread::sleep_for(
        std::chrono::milliseconds(std::max<std::uint64_t>(1, milliseconds / kSpeedUp)));
}

}  // namespace kelvora::test
