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
int ProveIdentity(CliEnv& env, const CliOptions& options, Reporter& reporter, KeySession& session,
                  Proof& proof);

// Runs the key's fingerprint check. Returns kExitOk for a match, otherwise reports.
int CheckFingerprint(CliEnv& env, Reporter& reporter, KeySession& session);

}  // namespace kelvora::cli
