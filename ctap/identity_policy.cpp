#include "ctap/identity_policy.h"

#include <array>

namespace kelvora {
namespace {

// What the key holds, in the README table's rows.
enum class Holds { kNothing, kPin, kFingerprints, kBoth };

Holds HoldsOf(const KeyFacts& key) {
    if (key.pinSet) {
        return key.fingerprints ? Holds::kBoth : Holds::kPin;
    }
    return key.fingerprints ? Holds::kFingerprints : Holds::kNothing;
}

struct Row {
    Proof enroll;
    Proof remove;
    Proof rename;
};

// Rows in the order of Holds. Deleting the last fingerprint is settled before the table.
constexpr std::array<Row, 4> kTable = {{
    {Proof::kFirstUse, Proof::kRefuseNoFingerprint, Proof::kRefuseNoFingerprint},
    {Proof::kPin, Proof::kRefuseNoFingerprint, Proof::kRefuseNoFingerprint},
    {Proof::kFinger, Proof::kFinger, Proof::kFinger},
    {Proof::kUserChoice, Proof::kUserChoice, Proof::kUserChoice},
}};

}  // namespace

Proof ProofFor(FingerprintOperation operation, const KeyFacts& key) {
    if (operation == FingerprintOperation::kDelete && key.lastFingerprint) {
        return key.pinSet ? Proof::kPin : Proof::kRefuseLastWithoutPin;
    }
    const Row& row = kTable[static_cast<std::size_t>(HoldsOf(key))];
    switch (operation) {
        case FingerprintOperation::kEnroll:
            return row.enroll;
        case FingerprintOperation::kDelete:
            return row.remove;
        case FingerprintOperation::kRename:
            return row.rename;
    }
    return Proof::kRefuseNoFingerprint;
}

bool HoldsFingerprints(bool reportedByInfo, std::size_t listed) {
    return reportedByInfo || listed > 0;
}

Proof ProofWithoutAsking(Proof required, const KeyFacts& key, bool pinCheckable) {
    if (required != Proof::kPin && required != Proof::kUserChoice) {
        return required;
    }
    if (pinCheckable) {
        return Proof::kPin;
    }
    return key.fingerprints ? Proof::kFinger : Proof::kNothing;
}

}  // namespace kelvora
