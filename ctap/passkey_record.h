// The passkeys (resident credentials) a key holds, as its credential management command
// tells them. Every name is UTF-8: what the key sent, with byte sequences that are not UTF-8
// replaced by U+FFFD, so that a front end can show it without checking it again.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kelvora {

struct Passkey {
    std::vector<std::uint8_t> credentialId;  // never empty
    std::vector<std::uint8_t> userId;        // empty when the key sent none
    std::string userName;
    std::string displayName;
};

struct PasskeySite {
    std::string rpId;
    std::string rpName;                  // empty when the key sent none
    std::vector<std::uint8_t> rpIdHash;  // 32 bytes
    std::vector<Passkey> passkeys;
};

struct PasskeyMetadata {
    std::uint32_t existing = 0;   // passkeys held
    std::uint32_t remaining = 0;  // passkeys the key still has room for
};

// The most passkeys, and the most sites, a listing takes from a key: far more than any key
// holds, and small enough that a key announcing more is not believed.
inline constexpr std::uint32_t kMaxListedPasskeys = 1000;

std::size_t PasskeyCount(const std::vector<PasskeySite>& sites);

}  // namespace kelvora
