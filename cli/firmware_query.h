// The firmware version byte of a key, for `list` and `info`.
#pragma once

#include <optional>

#include "transport/fido_device.h"

namespace kelvora::cli {

// Asks the key for its firmware version (vendor APDU 80 E3 00 00 03) and returns its first
// byte; nullopt when the key gives none. The sixth model is not asked, as at connection.
std::optional<int> ReadFirmwareByte(FidoDevice& device, std::uint16_t productId);

}  // namespace kelvora::cli
