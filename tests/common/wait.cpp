#include "tests/common/wait.h"

#include <string>
#include <thread>

namespace kelvora::test {

::testing::AssertionResult WaitUntil(std::string_view what, const std::function<bool()>& done,
                                     const std::function<void()>& between,
                                     std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return ::testing::AssertionFailure()
                   << "waited " << limit.count() << " ms in vain for: " << std::string(what);
        }
        if (between) {
            between();
        }
        // Looks again soon, without taking a whole core from the thread it waits for.
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return ::testing::AssertionSuccess();
}

}  // namespace kelvora::test
