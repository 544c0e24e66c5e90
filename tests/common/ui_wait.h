// The wait of the window tests: the UI thread's events are handled between two looks, so
// that the windows under test go on working while the test waits.
#pragma once

#include <string>

#include "tests/common/wait.h"
#include "toolkit/test_driver.h"
#include "toolkit/window_impl_base.h"

namespace kelvora::test {

inline ::testing::AssertionResult WaitForUi(std::string_view what,
                                            const std::function<bool()>& done,
                                            std::chrono::milliseconds limit = kWaitLimit) {
    return WaitUntil(
        what, done, [] { UiDriver::ProcessEvents(); }, limit);
}

inline ::testing::AssertionResult WaitUntilClosed(WindowImplBase& window,
                                                  std::chrono::milliseconds limit = kWaitLimit) {
    return WaitForUi(
        "the window " + window.GetSkinFile().toStdString() + " to close",
        [&] { return window.IsClosed(); }, limit);
}

}  // namespace kelvora::test

// Waits, handling the UI's events, until `condition` holds; on time-out the failure quotes it.
#define KELVORA_WAIT_FOR_UI(condition) \
    ::kelvora::test::WaitForUi(#condition, [&] { return static_cast<bool>(condition); })
