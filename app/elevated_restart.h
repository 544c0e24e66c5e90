// Starting the tool again with administrator rights in place of this copy, which then ends.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/elevation.h"
#include "platform/single_instance.h"

namespace kelvora {

// This copy's claim to be the only one running.
struct InstanceClaim {
    std::string name;
    std::unique_ptr<SingleInstanceLock> lock;  // null while given up, or when never had
};

// Starts the tool again with administrator rights and `arguments`. The claim is given up
// first, or the new copy would see this one and leave at once, and taken back when no copy
// was started (the user declined, or the system could not start one). True when one was
// started: this copy is then to end.
bool RestartElevated(Elevation& elevation, InstanceClaim& claim,
                     const std::vector<std::string>& arguments);

}  // namespace kelvora
