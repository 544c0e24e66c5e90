// authenticatorClientPIN with PIN protocol one (CTAP 2.0 §5.5): the requests the tool sends
// and the members it reads back, as pure functions over byte buffers so that they can be
// checked byte for byte and fuzzed without a key.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "ctap/pin_crypto.h"
#include "transport/key_state.h"

namespace kelvora {

enum class ClientPinSubcommand : std::uint8_t {
    kGetRetries = 0x01,
    kGetKeyAgreement = 0x02,
    kSetPin = 0x03,
    kChangePin = 0x04,
    kGetPinToken = 0x05,
};

// Members of the request map, written in this (ascending) order.
enum ClientPinParameter : std::int32_t {
    kPinParamProtocol = 0x01,
    kPinParamSubcommand = 0x02,
    kPinParamKeyAgreement = 0x03,
    kPinParamPinAuth = 0x04,
    kPinParamNewPinEnc = 0x05,
    kPinParamPinHashEnc = 0x06,
};

// Members of the response map.
enum ClientPinResponseMember : std::int32_t {
    kPinResponseKeyAgreement = 0x01,
    kPinResponsePinToken = 0x02,
    kPinResponseRetries = 0x03,
};

inline constexpr std::uint8_t kPinProtocolOne = 1;

// A request buffer: the command byte and up to 1023 bytes of CBOR parameters.
inline constexpr std::size_t kPinRequestSize = 1024;
using PinRequest = std::array<std::uint8_t, kPinRequestSize>;

// What the platform sends in a request that needs the shared secret.
struct PinRequestSecrets {
    std::span<const std::uint8_t, pin_crypto::kCoordinateLength> platformX;
    std::span<const std::uint8_t, pin_crypto::kCoordinateLength> platformY;
    std::span<const std::uint8_t> pinAuth;     // 16 bytes; empty for getPINToken
    std::span<const std::uint8_t> newPinEnc;   // 64 bytes for setPIN and changePIN
    std::span<const std::uint8_t> pinHashEnc;  // 16 bytes for changePIN and getPINToken
};

// Each writes the command byte (0x06, or 0x46 with the vendor command set) and the
// parameter map into `out` and returns the request length.
std::uint32_t BuildGetRetries(const KeyState& state, PinRequest& out);
std::uint32_t BuildGetKeyAgreement(const KeyState& state, PinRequest& out);
std::uint32_t BuildSetPin(const KeyState& state, const PinRequestSecrets& secrets, PinRequest& out);
std::uint32_t BuildChangePin(const KeyState& state, const PinRequestSecrets& secrets,
                             PinRequest& out);
std::uint32_t BuildGetPinToken(const KeyState& state, const PinRequestSecrets& secrets,
                               PinRequest& out);

// The key's public point from a getKeyAgreement response (member 1, COSE members -2 and -3).
// False unless both coordinates are byte strings of at least 32 bytes; the first 32 of each
// are taken.
bool ParseKeyAgreement(const std::uint8_t* response, std::uint32_t length,
                       std::array<std::uint8_t, pin_crypto::kCoordinateLength>& x,
                       std::array<std::uint8_t, pin_crypto::kCoordinateLength>& y);

// The encrypted token of a getPINToken response (member 2). Empty when it is missing or not
// a byte string; the span points into `response`.
std::span<const std::uint8_t> ParsePinTokenEnc(const std::uint8_t* response, std::uint32_t length);

// The retry count of a getRetries response (member 3); nothing when it is missing or not
// an unsigned integer.
std::optional<std::uint32_t> ParseRetries(const std::uint8_t* response, std::uint32_t length);

}  // namespace kelvora
