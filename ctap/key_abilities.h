// What the attached key can do, for the front ends to ask instead of telling the families of
// key apart: the legacy models check a PIN only while changing it, tell its retries only in
// the status word of a refused PIN, keep no fingerprint names and answer GetInfo with two
// status bytes; a CTAP2 key does all of that, and enrols when GetInfo offers the bio
// enrollment command.
#pragma once

#include "transport/key_state.h"

namespace kelvora {

struct KeyAbilities {
    // Checks a PIN on its own and hands out a PIN token for it.
    bool checksPin = false;
    // Tells the PIN retries left when asked.
    bool tellsPinRetries = false;
    // Keeps a name with each fingerprint.
    bool namesFingerprints = false;
    // GetInfo says more than the two facts (versions, AAGUID, options).
    bool describesItself = false;
    // Enrols and lists fingerprints.
    bool enrolls = false;
    // Counts, lists and deletes its passkeys (GetInfo offered credential management).
    bool managesPasskeys = false;
};

// For the key selected in `state`, after its GetInfo.
KeyAbilities AbilitiesOf(const KeyState& state);

}  // namespace kelvora
