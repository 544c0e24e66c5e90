// authenticatorCredentialManagement: counts, lists and deletes the key's passkeys. Every
// subcommand but the GetNext ones needs the pinAuth of the session's PIN token over
// subCommand || subCommandParams (PIN_REQUIRED without it, PIN_NOT_SET without a PIN). A
// Begin with nothing to list answers NO_CREDENTIALS, a GetNext with nothing pending
// NOT_ALLOWED, a deletion of an unknown id NO_CREDENTIALS.
#pragma once

#include "vkey/key_context.h"

namespace kelvora::vkey {

CommandResult HandleCredentialManagement(KeyContext& ctx, ByteView parameters);

}  // namespace kelvora::vkey
