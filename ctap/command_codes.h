// CTAP2 command bytes, in the standard form and in the maker's vendor form that keys with
// newer firmware take instead (chosen once per process by `vendorCommandSet`).
#pragma once

#include <cstdint>

#include "transport/key_state.h"

namespace kelvora {

enum class CtapCommand : std::uint8_t {
    kMakeCredential = 0x01,
    kGetInfo = 0x04,
    kClientPin = 0x06,
    kReset = 0x07,
    kBioEnrollmentPrototype = 0x40,
};

// The vendor form of each command above.
constexpr std::uint8_t VendorCommandByte(CtapCommand command) {
    switch (command) {
        case CtapCommand::kMakeCredential:
            return 0x48;
        case CtapCommand::kGetInfo:
            return 0x44;
        case CtapCommand::kClientPin:
            return 0x46;
        case CtapCommand::kReset:
            return 0x47;
        case CtapCommand::kBioEnrollmentPrototype:
            return 0x50;
    }
    return static_cast<std::uint8_t>(command);
}

// The byte to send for `command` to the attached key.
inline std::uint8_t CommandByte(const KeyState& state, CtapCommand command) {
    return state.vendorCommandSet ? VendorCommandByte(command) : static_cast<std::uint8_t>(command);
}

}  // namespace kelvora
