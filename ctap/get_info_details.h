// Everything a CTAP2 key's GetInfo answer tells (CTAP 2.1 §6.4), for the key facts a support
// person asks for. The tool's own decisions run on GetAuthenticatorInfo (get_info.h); this
// reading is for showing only.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ctap/get_info.h"
#include "transport/fido_device.h"

namespace kelvora {

struct AuthenticatorDetails {
    std::vector<std::string> versions;
    std::vector<std::uint8_t> aaguid;  // 16 bytes, or empty when the answer has none
    // Every option with a boolean value, in the key's order.
    std::vector<std::pair<std::string, bool>> options;
    std::optional<std::uint32_t> maxMsgSize;
    std::vector<std::uint32_t> pinProtocols;
};

// Decodes a GetInfo response without its status byte. Members that are missing or not of
// their type are left empty; nothing is read beyond `length`.
AuthenticatorDetails ParseAuthenticatorDetails(const std::uint8_t* response, std::uint32_t length);

// GetAuthenticatorInfo (get_info.h) and the details of the same answer, in one exchange.
// `details` is set when a CTAP2 key answered with success, and reset otherwise.
std::uint16_t GetAuthenticatorInfo(FidoDevice& device, AuthenticatorCaps& caps,
                                   std::optional<AuthenticatorDetails>& details);

}  // namespace kelvora
