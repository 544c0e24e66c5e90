// Reading the answers of the credential management command. Everything is read in place and
// bounds-checked; names are repaired into UTF-8, unknown members are ignored. Each reader
// returns false when a member it needs is missing, of the wrong type or out of range.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "ctap/passkey_record.h"

namespace kelvora {

// existingResidentCredentialsCount and maxPossibleRemainingResidentCredentialsCount.
bool ReadMetadataAnswer(std::span<const std::uint8_t> body, PasskeyMetadata& metadata);

// rp and rpIdHash (32 bytes); with `total`, also totalRPs into it.
bool ReadSiteAnswer(std::span<const std::uint8_t> body, PasskeySite& site,
                    std::uint32_t* total = nullptr);

// user and credentialID (a descriptor with a non-empty id of at most kMaxCredentialIdSize
// bytes); with `total`, also totalCredentials into it.
bool ReadPasskeyAnswer(std::span<const std::uint8_t> body, Passkey& passkey,
                       std::uint32_t* total = nullptr);

// `bytes` as UTF-8, each byte that does not begin or continue a well-formed sequence
// replaced by U+FFFD.
std::string RepairedUtf8(std::span<const std::uint8_t> bytes);

}  // namespace kelvora
