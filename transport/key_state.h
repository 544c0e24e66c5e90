// Process-wide facts about the attached key, shared between the user-interface thread and
// the workers. Written by one side and read by the others, hence atomics; the object is
// passed explicitly to whoever needs it (there is no global instance).
#pragma once

#include <atomic>
#include <cstdint>

#include "transport/pin_token.h"

namespace kelvora {

struct KeyState {
    // Product identifier of the key in use, 0 while none is connected.
    std::atomic<std::uint16_t> selectedProductId{0};

    // The key's firmware takes the vendor command bytes. Set when connecting and never
    // cleared for the life of the process.
    std::atomic<bool> vendorCommandSet{false};

    // An interface of the maker was present but could not be opened for reading and
    // writing. Set by discovery; the main window reads and clears it.
    std::atomic<bool> deviceAccessDenied{false};

    // What GetInfo last reported: a PIN is set, at least one fingerprint is enrolled, and
    // the key offers fingerprint enrollment. The main window clears the first two when no
    // key is found.
    std::atomic<bool> pinSet{false};
    std::atomic<bool> uvConfigured{false};
    std::atomic<bool> bioEnrollmentSupported{false};
    // The command byte GetInfo offered for managing passkeys: 0x0A ("credMgmt"), 0x41
    // ("credentialMgmtPreview"), 0 for none.
    std::atomic<std::uint8_t> passkeyCommand{0};

    // The key went away; workers check this between exchanges and close their dialogs.
    std::atomic<bool> deviceAbsent{false};

    // The system is about to sleep; a legacy enrollment stops.
    std::atomic<bool> systemSuspended{false};

    // "-E" was given: reset the key right after start-up.
    std::atomic<bool> resetAtStart{false};

    // The decrypted PIN token of the attached key, empty while none was obtained.
    PinToken pinToken;
};

}  // namespace kelvora
