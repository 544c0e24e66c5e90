// authenticatorGetInfo (CTAP 2.1 §6.4) reduced to the three facts the tool runs on: a PIN is
// set, a fingerprint is enrolled, and the key offers fingerprint enrollment. Legacy models
// answer a vendor APDU with the first two facts instead.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "transport/fido_device.h"

namespace kelvora {

// The options member of the GetInfo response map (CTAP 2.1 §6.4), and room for a response.
inline constexpr std::int32_t kInfoOptionsMember = 0x04;
inline constexpr std::size_t kInfoResponseSize = 4096;

// The two bytes GetAuthenticatorInfo reports. The caller zeroes them before the call: the
// CTAP2 path only ever writes 1 into them.
struct AuthenticatorCaps {
    std::uint8_t pinSet = 0;        // option "clientPin" is true
    std::uint8_t uvConfigured = 0;  // option "uv" is true: at least one fingerprint
};

// CTAP2 keys: sends GetInfo (0x04, or 0x44 with the vendor command set) and returns the CTAP
// status. Sets caps and keyState.pinSet / uvConfigured for options that are true (never
// clears them), and always writes keyState.bioEnrollmentSupported: true when the key lists
// "userVerificationMgmtPreview" or "bioEnroll" with any value, false otherwise (a failed
// exchange included); keyState.passkeyCommand is always written the same way.
//
// Legacy models: sends 80 E3 02 00 in plain form and copies the two bytes of the answer into
// caps as they arrived, whatever the status word, which is returned. No flag of keyState is
// touched.
std::uint16_t GetAuthenticatorInfo(FidoDevice& device, AuthenticatorCaps& caps);

// As above, keeping a CTAP2 key's answer for whoever wants more of it than the three facts:
// `response` receives the response without its status byte and `length` its length. Both
// stay zero on legacy models.
using InfoResponse = std::array<std::uint8_t, kInfoResponseSize>;
std::uint16_t GetAuthenticatorInfo(FidoDevice& device, AuthenticatorCaps& caps,
                                   InfoResponse& response, std::uint32_t& length);

// The decoding half of the CTAP2 path, for a GetInfo response without its status byte.
struct InfoOptions {
    bool clientPin = false;  // "clientPin" is true
    bool uv = false;         // "uv" is true
    bool bioEnroll = false;  // either enrollment option is present, whatever its value
    // The credential management command: 0x0A when "credMgmt" is true, else 0x41 when
    // "credentialMgmtPreview" is true, else 0.
    std::uint8_t passkeyCommand = 0;
};
InfoOptions ParseInfoOptions(const std::uint8_t* response, std::uint32_t length);

}  // namespace kelvora
