// Before a fingerprint is added, renamed or removed the user proves to be the key's owner,
// as in the windows: with the PIN when one is set, otherwise with an enrolled finger, and not
// at all on a key that has neither.
#pragma once

#include "cli/cli_env.h"
#include "cli/key_session.h"
#include "cli/options.h"
#include "cli/reporter.h"
#include "ctap/verification_test.h"

namespace kelvora::cli {

enum class Proof { kNone, kPin, kFingerprint };

// Returns kExitOk and the proof given, or reports the failure and returns its exit status.
// On a CTAP2 key a PIN proof leaves the PIN token in the key state for the commands' pinAuth.
// A PIN given that the key cannot use is not read, and a line on standard error says so.
int ProveIdentity(CliEnv& env, const CliOptions& options, Reporter& reporter, KeySession& session,
                  Proof& proof);

// Reads the PIN and obtains a PIN token with it (CTAP2 keys). Returns kExitOk, or reports
// the failure (a wrong PIN with the retries left) and returns its exit status.
int VerifyPin(CliEnv& env, const CliOptions& options, Reporter& reporter, KeySession& session);

// Says on standard error that the PIN given is not used: the key has none, or (legacy
// models) cannot check one on its own.
void NoteUnusedPin(Reporter& reporter, KeySession& session);

// Runs the key's fingerprint check. Returns kExitOk for a match, otherwise reports.
int CheckFingerprint(CliEnv& env, Reporter& reporter, KeySession& session);

}  // namespace kelvora::cli
