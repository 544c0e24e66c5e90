// authenticatorReset (CTAP 2.0 §5.6): accepted only within Config::resetWindowMs of the
// plug-in (NOT_ALLOWED after it), and only after a touch (USER_ACTION_TIMEOUT when none
// comes within Config::presenceTimeoutMs). Any finger counts as a touch.
#pragma once

#include "vkey/key_context.h"

namespace kelvora::vkey {

CommandResult HandleReset(KeyContext& ctx);

// Whether the plug-in window for a reset is still open.
bool ResetWindowOpen(const KeyContext& ctx);

}  // namespace kelvora::vkey
