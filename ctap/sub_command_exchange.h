// What the bio and credential management command sets share: a request's closing
// pinUvAuthProtocol/pinUvAuthParam pair, and sending a request for an answer of bounded size.
#pragma once

#include <cstdint>
#include <span>

#include "cbor/cbor_writer.h"
#include "transport/fido_device.h"
#include "transport/key_state.h"

namespace kelvora {

// The session's own answer size: data after the status byte never fills it.
inline constexpr std::size_t kSubCommandResponseSize = 4096;

// Writes protocolKey: 1 (PIN protocol one) and authKey: the first 16 bytes of
// HMAC-SHA-256(state.pinToken, message). Returns false when they did not fit.
bool PutPinProtocolOneAuth(CborWriter& writer, const KeyState& state, std::int32_t protocolKey,
                           std::int32_t authKey, std::span<const std::uint8_t> message);

// Sends a request with SendCborCommand and returns its status. On return `dataLength` is the
// length of the data after the status byte (0 for a status byte alone), copied to the start
// of `response`; data longer than `response` is not copied and gives kCtapResponseTooLarge.
std::uint8_t SendSubCommandRequest(FidoDevice& device, std::span<const std::uint8_t> request,
                                   std::span<std::uint8_t> response, std::uint32_t& dataLength);

}  // namespace kelvora
