// The exit statuses of kelvora-fido2. They are part of the command line's contract
// (docs/cli.md lists them): scripts branch on them, so values are never reused or renumbered.
#pragma once

#include <string_view>

namespace kelvora::cli {

enum ExitCode : int {
    kExitOk = 0,
    kExitKeyError = 1,      // the key refused or failed the operation
    kExitUsage = 2,         // bad command line or bad input (PIN length, name, slot)
    kExitNoKey = 3,         // no supported key, or the key went away
    kExitAccessDenied = 4,  // a supported key is present but cannot be opened
    kExitWrongPin = 5,      // wrong PIN, retries left
    kExitBlocked = 6,       // PIN blocked (or blocked until re-plugged)
    kExitNotVerified = 7,   // fingerprints verify: the finger did not match
    kExitCancelled = 130,   // interrupted (Ctrl-C) or the user declined
};

// The stable name of an exit status in JSON error objects ("usage", "no-key", ...).
std::string_view ExitCodeName(int code);

}  // namespace kelvora::cli
