#include "tests/common/stepping_clock.h"

#include <chrono>
#include <thread>

namespace kelvora::test {
namespace {
constexpr std::size_t kKeptSleeps = 1000;
}  // namespace

void SteppingClock::SleepMs(std::uint32_t milliseconds) {
    now_.fetch_add(milliseconds);
    std::unique_lock lock(mutex_);
    if (sleeps_.size() < kKeptSleeps) {
        sleeps_.push_back(milliseconds);
    }
    released_.wait(lock, [&] { return heldMs_ != milliseconds; });
    lock.unlock();
    // A moment of real time, so that a polling worker does not flood its window.
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void SteppingClock::HoldPausesOf(std::uint32_t milliseconds) {
    std::lock_guard lock(mutex_);
    heldMs_ = milliseconds;
}

void SteppingClock::Release() {
    {
        std::lock_guard lock(mutex_);
        heldMs_ = 0;
    }
    released_.notify_all();
}

std::vector<std::uint32_t> SteppingClock::Sleeps() const {
    std::lock_guard lock(mutex_);
    return sleeps_;
}

}  // namespace kelvora::test
