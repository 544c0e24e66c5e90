// Administrator rights. Windows lets only elevated processes open a FIDO key's HID interface
// directly, so there the tool offers to start itself again with those rights; Linux grants
// access to the maker's keys through a udev rule instead, and has no such start.
#pragma once

#include <string>
#include <vector>

namespace kelvora {

enum class ElevatedStart {
    kStarted,   // a copy with administrator rights is starting
    kDeclined,  // the user said no when the system asked (ERROR_CANCELLED)
    kFailed,    // the system could not start it, or has no way to
};

class Elevation {
  public:
    virtual ~Elevation() = default;
    // Whether administrator rights are what lets a process open a key on this system.
    virtual bool KeysNeedElevation() = 0;
    // Whether this process already runs with them.
    virtual bool IsElevated() = 0;
    // Starts this program's executable again, with administrator rights and `arguments`
    // (UTF-8, without the program name). Returns once the system has started it or not.
    virtual ElevatedStart StartElevated(const std::vector<std::string>& arguments) = 0;
};

// The running system's.
Elevation& SystemElevation();

}  // namespace kelvora
