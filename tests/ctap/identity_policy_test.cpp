// The README's table of who proves what, row by row, and how the command line settles it
// without asking.
#include "ctap/identity_policy.h"

#include <gtest/gtest.h>

namespace kelvora {
namespace {

using Op = FingerprintOperation;

TEST(IdentityPolicy, FollowsTheReadmeTable) {
    struct Row {
        const char* holds;
        KeyFacts key;
        Proof enroll, remove, rename;
    };
    const Row rows[] = {
        {"nothing",
         {false, false, false},
         Proof::kFirstUse,
         Proof::kRefuseNoFingerprint,
         Proof::kRefuseNoFingerprint},
        {"a PIN",
         {true, false, false},
         Proof::kPin,
         Proof::kRefuseNoFingerprint,
         Proof::kRefuseNoFingerprint},
        {"fingerprints", {false, true, false}, Proof::kFinger, Proof::kFinger, Proof::kFinger},
        {"the last fingerprint",
         {false, true, true},
         Proof::kFinger,
         Proof::kRefuseLastWithoutPin,
         Proof::kFinger},
        {"both", {true, true, false}, Proof::kUserChoice, Proof::kUserChoice, Proof::kUserChoice},
        {"both, the last fingerprint",
         {true, true, true},
         Proof::kUserChoice,
         Proof::kPin,
         Proof::kUserChoice},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.holds);
        EXPECT_EQ(ProofFor(Op::kEnroll, row.key), row.enroll);
        EXPECT_EQ(ProofFor(Op::kDelete, row.key), row.remove);
        EXPECT_EQ(ProofFor(Op::kRename, row.key), row.rename);
    }
}

TEST(IdentityPolicy, WithoutAskingThePinWinsWhereTheKeyCanCheckIt) {
    struct Row {
        Proof required;
        bool fingerprints, pinCheckable;
        Proof settled;
    };
    const Row rows[] = {
        {Proof::kUserChoice, true, true, Proof::kPin},
        {Proof::kUserChoice, true, false, Proof::kFinger},
        {Proof::kPin, false, true, Proof::kPin},
        {Proof::kPin, true, false, Proof::kFinger},
        {Proof::kPin, false, false, Proof::kNothing},
        {Proof::kFinger, true, true, Proof::kFinger},
        {Proof::kFirstUse, false, true, Proof::kFirstUse},
        {Proof::kRefuseLastWithoutPin, true, true, Proof::kRefuseLastWithoutPin},
    };
    for (const Row& row : rows) {
        KeyFacts key;
        key.fingerprints = row.fingerprints;
        EXPECT_EQ(ProofWithoutAsking(row.required, key, row.pinCheckable), row.settled)
            << static_cast<int>(row.required) << " " << row.fingerprints << row.pinCheckable;
    }
}

}  // namespace
}  // namespace kelvora
