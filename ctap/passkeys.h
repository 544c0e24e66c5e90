// Counting, listing and deleting the passkeys of a key that offers the credential
// management command, in the form `command` names. Requests that need it carry the
// pinUvAuthParam of the held PIN token; without a token they go without, and the key says
// whether it wants one. Every call returns the key's status, kCtapErrNoCredentials turned
// into success where it only means "none", or kStatusMalformedAnswer for an answer that
// could not be read or that announces more than kMaxListedPasskeys.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "ctap/credential_management.h"
#include "ctap/passkey_record.h"
#include "transport/fido_device.h"

namespace kelvora {

int ReadPasskeyMetadata(FidoDevice& device, PasskeyCommand command, PasskeyMetadata& metadata);

// Empties `sites`, then fills it with every site and its passkeys in the key's order. A site
// the key lists without passkeys is kept with none. On failure `sites` is emptied again.
int ListPasskeys(FidoDevice& device, PasskeyCommand command, std::vector<PasskeySite>& sites);

// Deletes the passkey with `credentialId`; a key that holds none answers
// kCtapErrNoCredentials, which is returned as it is.
int DeletePasskey(FidoDevice& device, PasskeyCommand command,
                  std::span<const std::uint8_t> credentialId);

}  // namespace kelvora
