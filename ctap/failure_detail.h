// After a CTAP2 key said a finger did not match: how many attempts are left.
#pragma once

#include <optional>

#include "transport/fido_device.h"

namespace kelvora {

// The attempts left (0: the key is locked), or nullopt when the key gives no detail and
// the user is simply asked to try again. With the vendor command set the key is asked with
// the plain APDU 80 E3 04 00 (one byte, the count); otherwise with getFingerprintRetries,
// whose status byte is the count (0x90: no count). A failed exchange gives no detail.
std::optional<int> ReadFailureDetail(FidoDevice& device);

}  // namespace kelvora
