// What the key remembers. `State` survives unplugging (and, in the daemon, restarts);
// `PlugSession` lives from one plug-in to the next.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "vkey/bytes.h"
#include "vkey/key_crypto.h"

namespace kelvora::vkey {

inline constexpr int kStrangerFinger = -1;

struct Template {
    std::string name;  // bytes as the host sent them (code page 932 from the tool)
    int finger = 0;    // which physical finger the samples came from
};

// A passkey (resident credential) made by makeCredential with "rk". Names are the bytes the
// host sent, unchecked, as a real key keeps them.
struct StoredPasskey {
    Bytes credentialId;
    std::string rpId;
    std::string rpName;
    Bytes userId;
    std::string userName;
    std::string displayName;
    Bytes privateKey;  // the ES256 scalar
    std::uint32_t signCount = 0;
};

// One request the key has seen: what arrived and the status it answered.
struct HistoryEntry {
    std::int64_t timeMs = 0;
    Bytes request;
    std::uint16_t status = 0;  // CTAP status byte, or the APDU status word
};

struct State {
    std::optional<Bytes> pinHash;  // LEFT(SHA-256(PIN), 16)
    int pinRetries = 8;
    int fingerprintRetries = 5;
    std::map<std::uint16_t, Template> templates;  // by slot number
    std::vector<StoredPasskey> passkeys;          // oldest first
    std::vector<HistoryEntry> history;

    bool pinSet() const { return pinHash.has_value(); }
};

inline constexpr std::size_t kMaxHistory = 1000;

// A template being enrolled (CTAP bio enrollment or the legacy enrol steps).
struct Enrollment {
    std::uint16_t slot = 0;
    int samples = 0;
    int finger = 0;
};

// The passkeys a getAssertion without an allow list found beyond the one it used, for
// getNextAssertion.
struct PendingAssertions {
    std::vector<Bytes> credentialIds;
    Bytes clientDataHash;
    std::uint8_t flags = 0;
};

struct PlugSession {
    std::int64_t plugTimeMs = 0;
    std::unique_ptr<KeyAgreementKey> keyAgreement;
    Bytes pinToken;
    int consecutivePinFailures = 0;
    std::optional<Bytes> challenge;  // legacy secure messaging, used once
    std::optional<Enrollment> enrollment;
    int nextAutoFinger = 1000;  // fingers the auto-touch mode invents for enrollments
    // The answers a credential management enumeration has still to give, in order; a Begin
    // replaces them and any other credential management request drops them.
    std::vector<Bytes> pendingEnumeration;
    std::optional<PendingAssertions> pendingAssertions;
};

}  // namespace kelvora::vkey
