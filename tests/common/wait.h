// One wait for what another thread, process or the event loop brings about. It looks again
// and again until the condition holds, handing over `between` (the GUI tests' event loop)
// between two looks; a wait that runs out says what it was waiting for. The limit is
// generous because a sanitizer build on a loaded machine is slow, and a wait that is met
// ends at once.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string_view>

namespace kelvora::test {

inline constexpr std::chrono::milliseconds kWaitLimit{20000};

::testing::AssertionResult WaitUntil(std::string_view what, const std::function<bool()>& done,
                                     const std::function<void()>& between = {},
                                     std::chrono::milliseconds limit = kWaitLimit);

}  // namespace kelvora::test

// Waits until `condition` holds; on time-out the failure quotes the condition.
#define KELVORA_WAIT_UNTIL(condition) \
    ::kelvora::test::WaitUntil(#condition, [&] { return static_cast<bool>(condition); })
