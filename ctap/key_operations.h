// The operations the front ends run on either family of key, each with one outcome: the
// legacy models' vendor APDUs or the CTAP2 commands are chosen here, never by a caller.
//
// The family is the attached model's (a legacy model answers status words, 0x9000 on
// success); the fingerprint listing follows whether GetInfo offered the bio enrollment
// command instead, as a key whose GetInfo failed has its slots read the legacy way.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "ctap/fingerprint_record.h"
#include "ctap/legacy_bio.h"
#include "ctap/passkey_record.h"
#include "ctap/verification_test.h"
#include "platform/debug_output.h"
#include "transport/fido_device.h"

namespace kelvora {

struct KeyOutcome {
    // The key's status byte or word, a failed key agreement, or one of the tool's codes.
    int status = 0;
    bool succeeded = false;
    // No retry is left: the key refuses the PIN until it is reset.
    bool locked = false;
    // The key refused the PIN that was given.
    bool wrongPin = false;
    // A CTAP2 key hands out a token for a PIN it has just taken; a legacy model has none.
    bool tokenFollows = false;

    bool KeyAgreementFailed() const;
};

// The first PIN (UTF-8).
KeyOutcome SetPinOnKey(FidoDevice& device, std::string_view pinUtf8);

// Replaces the PIN.
KeyOutcome ChangePinOnKey(FidoDevice& device, std::string_view currentUtf8,
                          std::string_view freshUtf8);

// Proves the PIN and keeps the token it gives in keyState.pinToken. Only a CTAP2 key can
// check a PIN on its own; a legacy model is sent the same request and refuses it.
KeyOutcome VerifyPinOnKey(FidoDevice& device, std::string_view pinUtf8);

// The retries left after `outcome` refused a PIN: a legacy model tells them in its status
// word, a CTAP2 key is asked. Nothing when they could not be learnt.
std::optional<std::uint32_t> RetriesAfter(FidoDevice& device, const KeyOutcome& outcome);

// Removes the fingerprint in `slot`; on a CTAP2 key with the pinAuth of the held token when
// `withPinAuth`.
KeyOutcome DeleteFingerprintOnKey(FidoDevice& device, std::uint16_t slot, bool withPinAuth);

// Fills the zeroed `slotMap` and `names` with the enrolled fingerprints. `notice` runs when a
// legacy model's slot bitmap could not be read. A CTAP2 key that refuses the listing lists
// nothing and succeeds.
KeyOutcome ReadFingerprintsOnKey(FidoDevice& device, SlotMap& slotMap, TemplateNames& names,
                                 const UnreadableSlotsNotice& notice = {},
                                 DebugOutput& debug = SystemDebugOutput());

// The passkey operations, in the form of credential management GetInfo offered, with the
// pinUvAuthParam of the held token (VerifyPinOnKey first). A key that offers none (a legacy
// model included) is sent nothing and gives kCtapErrInvalidCommand, as such a key would.
// A key's "no credentials" is success with nothing listed, except for a deletion.
KeyOutcome ReadPasskeyMetadataOnKey(FidoDevice& device, PasskeyMetadata& metadata);
KeyOutcome ListPasskeysOnKey(FidoDevice& device, std::vector<PasskeySite>& sites);
KeyOutcome DeletePasskeyOnKey(FidoDevice& device, std::span<const std::uint8_t> credentialId);

// What the last status of a fingerprint check says about the finger.
Verdict VerdictOnKey(FidoDevice& device, int lastStatus);

// Whether `status` is what the attached key answers on success.
bool SucceededOnKey(FidoDevice& device, int status);

}  // namespace kelvora
