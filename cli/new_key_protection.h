// The first fingerprint on a key with neither a PIN nor a fingerprint decides how the key is
// protected, and the person decides, never the command: a PIN given is set before the
// fingerprint is enrolled (as the windows' "PIN或いは指紋" choice does), --fingerprint-only
// enrols without one, and with neither the command stops and says which to give.
#pragma once

#include <optional>
#include <string>

#include "cli/cli_env.h"
#include "cli/key_session.h"
#include "cli/options.h"
#include "cli/reporter.h"

namespace kelvora::cli {

// Reads the new PIN (twice at a terminal) and sets it as the key's first PIN, whatever its
// family. Returns the PIN set; otherwise reports, sets `code` and returns nothing.
std::optional<std::string> SetFirstPin(CliEnv& env, const CliOptions& options, Reporter& reporter,
                                       KeySession& session, int& code);

// For a new key: sets the PIN given (and, on a CTAP2 key, obtains the token the enrollment
// authenticates with) or accepts --fingerprint-only. Returns kExitOk when the enrollment
// may go on; otherwise reports and returns the exit status.
int ChooseNewKeyProtection(CliEnv& env, const CliOptions& options, Reporter& reporter,
                           KeySession& session);

}  // namespace kelvora::cli
