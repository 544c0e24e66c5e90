// Routes a CTAPHID_CBOR message by its first byte: an APDU class byte on the models that
// take APDUs, otherwise a CTAP2 command byte (the standard bytes on every CTAP2 model, the
// vendor bytes too from firmware 18). Legacy models answer CTAP2 bytes with
// CTAP1_ERR_INVALID_COMMAND.
#pragma once

#include "vkey/key_context.h"

namespace kelvora::vkey {

bool IsApduRequest(const Config& config, ByteView payload);
CommandResult Dispatch(KeyContext& ctx, ByteView payload);

}  // namespace kelvora::vkey
