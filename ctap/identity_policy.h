// Who must prove what before a fingerprint is enrolled, deleted or renamed, from what the key
// holds. The table in ProofFor is the one in the README's "Using the tool"; the windows and
// the command line both ask it, the windows letting the user pick where it says so.
#pragma once

#include <cstddef>

namespace kelvora {

enum class FingerprintOperation { kEnroll, kDelete, kRename };

struct KeyFacts {
    bool pinSet = false;
    // At least one fingerprint is enrolled.
    bool fingerprints = false;
    // Deleting: the fingerprint to delete is the key's only one.
    bool lastFingerprint = false;
};

enum class Proof {
    kNothing,
    // A new key: first ask how it is to be used (a PIN, or fingerprints alone).
    kFirstUse,
    kPin,
    kFinger,
    // The PIN or a finger, whichever the user picks.
    kUserChoice,
    // Refused: without a PIN the last fingerprint is all that protects the key.
    kRefuseLastWithoutPin,
    // Refused: there is no fingerprint to delete or rename.
    kRefuseNoFingerprint,
};

Proof ProofFor(FingerprintOperation operation, const KeyFacts& key);

// KeyFacts::fingerprints, by the one rule every operation and front end goes by: GetInfo
// reports a configured finger, or the key lists at least one. A legacy model's status byte
// can say "none" while its slots hold fingerprints; trusting it alone would let anyone add a
// finger without proving one, and refuse to delete one that is listed.
bool HoldsFingerprints(bool reportedByInfo, std::size_t listed);

// The proof to ask for without asking the user: the PIN where there is a choice, unless the
// key cannot check a PIN on its own (the legacy models), which then proves a finger if it
// has one, or nothing.
Proof ProofWithoutAsking(Proof required, const KeyFacts& key, bool pinCheckable);

}  // namespace kelvora
