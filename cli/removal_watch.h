// Noticing that the key went away in the middle of a command. The window learns it from the
// system's device-removal notice; the command line learns it from the first transfer that
// fails for a reason other than a read time-out, and raises the same keyState.deviceAbsent,
// which ends the long fingerprint and reset sequences instead of letting them retry for ever.
#pragma once

#include <atomic>
#include <memory>

#include "transport/hid_backend.h"

namespace kelvora::cli {

// Wraps `connection` so that a failed write or read (a time-out aside) sets `gone`. Failures
// after the connection was closed on purpose do not count. `gone` must outlive the result.
std::unique_ptr<HidConnection> WatchForRemoval(std::unique_ptr<HidConnection> connection,
                                               std::atomic<bool>& gone);

}  // namespace kelvora::cli
