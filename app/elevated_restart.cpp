#include "app/elevated_restart.h"

namespace kelvora {

bool RestartElevated(Elevation& elevation, InstanceClaim& claim,
                     const std::vector<std::string>& arguments) {
    const bool held = claim.lock != nullptr;
    claim.lock.reset();
    if (elevation.StartElevated(arguments) == ElevatedStart::kStarted) {
        return true;
    }
    if (held) {
        // Another copy may have been started meanwhile and hold it now; this one then runs
        // unguarded rather than end under the user's hands.
        SingleInstanceResult again = AcquireSingleInstance(claim.name);
        claim.lock = std::move(again.lock);
    }
    return false;
}

}  // namespace kelvora
