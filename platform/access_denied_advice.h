// What to tell the user when a key of the maker is attached but this process may not open
// it. Where administrator rights open keys (Windows), a process without them is told so and
// offered a start with them, and one that has them is told the key may be in use by another
// program; elsewhere (Linux) the user is told how to install the udev rule that grants the
// logged-in user access to the maker's keys.
#pragma once

#include <cstdint>
#include <string>

#include "platform/elevation.h"

namespace kelvora {

struct AccessDeniedAdvice {
    std::string title;  // UTF-8
    std::string text;   // UTF-8
    std::uint32_t messageBoxStyle = 0;
    // OK is to start the tool again with administrator rights.
    bool offersElevatedStart = false;
};

// The window's message box.
AccessDeniedAdvice AdviceForUnopenableKey(Elevation& elevation);

// The command line's: what to do about it, as a clause that follows the problem.
std::string CommandLineAccessAdvice(Elevation& elevation);

}  // namespace kelvora
