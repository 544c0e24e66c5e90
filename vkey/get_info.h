// authenticatorGetInfo (CTAP 2.0 §5.4).
#pragma once

#include "vkey/key_context.h"

namespace kelvora::vkey {

// Options: "clientPin" (true once a PIN is set), "uv" (true while fingerprints are
// enrolled), "up", "rk" false, and "userVerificationMgmtPreview" - or "bioEnroll" when the
// config says so - true while fingerprints are enrolled.
CommandResult HandleGetInfo(KeyContext& ctx);

}  // namespace kelvora::vkey
