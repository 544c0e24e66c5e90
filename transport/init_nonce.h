// The nonce of a CTAPHID_INIT. Every program that has the key open sees every INIT answer;
// a nonce of its own is how a program tells its answer from another's, so a fixed nonce
// would let two programs take each other's channel.
#pragma once

#include <array>
#include <cstdint>

#include "transport/ctaphid.h"

namespace kelvora {

using InitNonce = std::array<std::uint8_t, ctaphid::kInitNonceSize>;

// Eight bytes from a CTR-DRBG seeded from the system's entropy; false when it could not be
// seeded (no INIT is sent then).
bool FreshInitNonce(InitNonce& nonce);

}  // namespace kelvora
