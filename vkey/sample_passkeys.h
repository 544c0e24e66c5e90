// Passkeys a key can start with (`kelvora-vkey --passkeys N`), for trying the tool's
// passkey listing without a browser: spread over three sites, a user each.
#pragma once

#include <cstddef>

#include "vkey/state.h"

namespace kelvora::vkey {

// Appends `count` passkeys with fresh keys; false when a key could not be made.
bool AddSamplePasskeys(State& state, std::size_t count);

}  // namespace kelvora::vkey
