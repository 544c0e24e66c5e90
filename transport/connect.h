// Connecting to a key: what the main window does at start-up and after a supported key
// is plugged in.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "platform/clock.h"
#include "transport/fido_device.h"

namespace kelvora {

inline constexpr std::size_t kDescriptionBufferSize = 200;

struct ConnectResult {
    bool connected = false;
    std::uint16_t productId = 0;
    std::uint64_t connectedAtMs = 0;  // the clock's time when the key was selected
    std::array<char, kDescriptionBufferSize> description{};
    // The firmware version query's status word; 0 when it was not asked (sixth model,
    // or nothing connected).
    std::uint16_t firmwareStatus = 0;
    // The firmware version byte that query answered; nullopt when it gave none or was not
    // asked. Kept so that nobody needs to ask the key again.
    std::optional<std::uint8_t> firmwareVersion;
};

// Selects DES secure messaging and the HID transport, enumerates, and selects the first
// attached key in the order of the supported product list. On success it stores the
// product id in keyState.selectedProductId and, unless the model is the sixth of the list,
// queries the firmware version. When nothing is found, `connected` is false and
// keyState.deviceAccessDenied tells whether a key was present but could not be opened;
// selectedProductId is left as it was.
ConnectResult ConnectDevice(FidoDevice& device, Clock& clock);

}  // namespace kelvora
