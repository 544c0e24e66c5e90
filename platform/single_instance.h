// One copy of the tool per user: the first start takes a named lock that lives exactly as
// long as the process, and later starts see it taken and leave quietly.
#pragma once

#include <memory>
#include <string_view>

namespace kelvora {

// The name every copy of the tool agrees on.
inline constexpr std::string_view kSingleInstanceName =
    "541A5173-11F5-495f-A757-AD63F00D5A22_Fingerprint_KelvoraFIDO_instance";

class SingleInstanceLock {
  public:
    virtual ~SingleInstanceLock() = default;
};

enum class InstanceCheck {
    kFirst,           // the lock is ours until the returned object goes (or the process ends)
    kAlreadyRunning,  // another copy holds it
    kUnavailable,     // the system would not create the lock; the tool runs unguarded
};

struct SingleInstanceResult {
    InstanceCheck check = InstanceCheck::kUnavailable;
    std::unique_ptr<SingleInstanceLock> lock;  // set with kFirst
};

// Windows: an unowned named mutex in the session's local name space. Linux: an exclusive
// flock on a file of that name in $XDG_RUNTIME_DIR (or /tmp, with the uid in the name); the
// kernel drops it when the process ends, however it ends, so a crash leaves nothing stale.
SingleInstanceResult AcquireSingleInstance(std::string_view name);

}  // namespace kelvora
