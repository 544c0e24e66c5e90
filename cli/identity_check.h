// Before a fingerprint is added, renamed or removed the user proves to be the key's owner,
// as the identity policy (ctap/identity_policy.h) asks: where the windows let the user pick,
// the command line takes the PIN, unless the key cannot check one.
#pragma once

#include "cli/cli_env.h"
#include "cli/key_session.h"
#include "cli/options.h"
#include "cli/reporter.h"
#include "ctap/identity_policy.h"
#include "ctap/verification_test.h"

namespace kelvora::cli {

// Gives the proof `required` (ProofFor's answer for `key`): kExitOk and the proof given (the
// PIN, a finger or nothing), or reports the failure, a refusal of the policy included, and
// returns its exit status. On a CTAP2 key a PIN proof leaves the PIN token in the
// key state for the commands' pinAuth. A PIN given that is not used is not read, and a line
// on standard error says so.
int ProveIdentity(CliEnv& env, const CliOptions& options, Reporter& reporter, KeySession& session,
                  Proof required, const KeyFacts& key, Proof& proof);

// Reads the PIN and obtains a PIN token with it (CTAP2 keys). Returns kExitOk, or reports
// the failure (a wrong PIN with the retries left) and returns its exit status.
int VerifyPin(CliEnv& env, const CliOptions& options, Reporter& reporter, KeySession& session);

// Says on standard error that the PIN given is not used: the key has none, or (legacy
// models) cannot check one on its own.
void NoteUnusedPin(Reporter& reporter, KeySession& session);

// Runs the key's fingerprint check. Returns kExitOk for a match, otherwise reports.
int CheckFingerprint(CliEnv& env, Reporter& reporter, KeySession& session);

}  // namespace kelvora::cli
