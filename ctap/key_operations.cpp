#include "ctap/key_operations.h"

#include "ctap/bio_templates.h"
#include "ctap/client_pin.h"
#include "ctap/legacy_pin.h"
#include "ctap/passkeys.h"
#include "ctap/status.h"
#include "transport/device_ids.h"

namespace kelvora {
namespace {

bool Legacy(FidoDevice& device) {
    return IsLegacyModel(device.State().selectedProductId.load());
}

KeyOutcome LegacyOutcome(std::uint16_t word) {
    const std::optional<std::uint32_t> retries = LegacyPinRetries(word);
    KeyOutcome outcome;
    outcome.status = word;
    outcome.succeeded = word == kSwSuccess;
    outcome.wrongPin = retries.has_value();
    outcome.locked = word == kSwPinBlocked || retries == 0U;
    return outcome;
}

KeyOutcome CtapOutcome(int status) {
    KeyOutcome outcome;
    outcome.status = status;
    outcome.succeeded = status == kCtapSuccess;
    outcome.wrongPin = status == kCtapErrPinInvalid;
    outcome.locked = status == kCtapErrPinBlocked || status == kCtapErrPinAuthBlocked;
    outcome.tokenFollows = outcome.succeeded;
    return outcome;
}

// The passkey command of the attached key; none on a legacy model, whatever an earlier key's
// GetInfo left behind.
PasskeyCommand PasskeyCommandOnKey(FidoDevice& device) {
    return Legacy(device) ? PasskeyCommand::kNone : PasskeyCommandOf(device.State());
}

KeyOutcome PasskeyOutcome(int status) {
    KeyOutcome outcome = CtapOutcome(status);
    outcome.tokenFollows = false;
    return outcome;
}

}  // namespace

bool KeyOutcome::KeyAgreementFailed() const {
    return IsKeyAgreementFailure(status);
}

KeyOutcome SetPinOnKey(FidoDevice& device, std::string_view pinUtf8) {
    return Legacy(device) ? LegacyOutcome(SetPinLegacy(device, pinUtf8))
                          : CtapOutcome(SetPin(device, pinUtf8));
}

KeyOutcome ChangePinOnKey(FidoDevice& device, std::string_view currentUtf8,
                          std::string_view freshUtf8) {
    return Legacy(device) ? LegacyOutcome(ChangePinLegacy(device, currentUtf8, freshUtf8))
                          : CtapOutcome(ChangePin(device, currentUtf8, freshUtf8));
}

KeyOutcome VerifyPinOnKey(FidoDevice& device, std::string_view pinUtf8) {
    KeyOutcome outcome = CtapOutcome(GetPinToken(device, pinUtf8));
    outcome.tokenFollows = false;  // this is the token
    return outcome;
}

std::optional<std::uint32_t> RetriesAfter(FidoDevice& device, const KeyOutcome& outcome) {
    return Legacy(device) ? LegacyPinRetries(outcome.status) : GetPinRetries(device);
}

KeyOutcome DeleteFingerprintOnKey(FidoDevice& device, std::uint16_t slot, bool withPinAuth) {
    return Legacy(device) ? LegacyOutcome(LegacyDelete(device, slot))
                          : CtapOutcome(RemoveBio(device, slot, withPinAuth));
}

KeyOutcome ReadFingerprintsOnKey(FidoDevice& device, SlotMap& slotMap, TemplateNames& names,
                                 const UnreadableSlotsNotice& notice, DebugOutput& debug) {
    KeyOutcome outcome;
    outcome.status = device.State().bioEnrollmentSupported
                         ? EnumerateBio(device, slotMap, names, debug)
                         : LegacyReadSlots(device, slotMap, notice);
    outcome.succeeded = outcome.status == 0;
    return outcome;
}

KeyOutcome ReadPasskeyMetadataOnKey(FidoDevice& device, PasskeyMetadata& metadata) {
    metadata = {};
    const PasskeyCommand command = PasskeyCommandOnKey(device);
    return PasskeyOutcome(command == PasskeyCommand::kNone
                              ? kCtapErrInvalidCommand
                              : ReadPasskeyMetadata(device, command, metadata));
}

KeyOutcome ListPasskeysOnKey(FidoDevice& device, std::vector<PasskeySite>& sites) {
    sites.clear();
    const PasskeyCommand command = PasskeyCommandOnKey(device);
    return PasskeyOutcome(command == PasskeyCommand::kNone ? kCtapErrInvalidCommand
                                                           : ListPasskeys(device, command, sites));
}

KeyOutcome DeletePasskeyOnKey(FidoDevice& device, std::span<const std::uint8_t> credentialId) {
    const PasskeyCommand command = PasskeyCommandOnKey(device);
    return PasskeyOutcome(command == PasskeyCommand::kNone
                              ? kCtapErrInvalidCommand
                              : DeletePasskey(device, command, credentialId));
}

Verdict VerdictOnKey(FidoDevice& device, int lastStatus) {
    return Legacy(device) ? LegacyVerdict(static_cast<std::uint16_t>(lastStatus))
                          : CtapVerdict(static_cast<std::uint8_t>(lastStatus));
}

bool SucceededOnKey(FidoDevice& device, int status) {
    return status == SuccessStatus(device.State().selectedProductId.load());
}

}  // namespace kelvora
