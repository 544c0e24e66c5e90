#include "vkey/command_dispatch.h"

#include "vkey/apdu_defs.h"
#include "vkey/bio_enrollment.h"
#include "vkey/client_pin.h"
#include "vkey/credential_management.h"
#include "vkey/ctap_reply.h"
#include "vkey/fingerprint_test.h"
#include "vkey/get_info.h"
#include "vkey/legacy_apdu.h"
#include "vkey/passkey_commands.h"
#include "vkey/reset.h"

namespace kelvora::vkey {
namespace {

// The standard command a request byte stands for on this key, if any.
std::optional<CtapCommand> CommandOf(const Config& config, std::uint8_t byte) {
    const auto command = static_cast<CtapCommand>(byte);
    switch (command) {
        case CtapCommand::kMakeCredential:
        case CtapCommand::kGetAssertion:
        case CtapCommand::kGetNextAssertion:
        case CtapCommand::kGetInfo:
        case CtapCommand::kClientPin:
        case CtapCommand::kReset:
        case CtapCommand::kBioEnrollmentPreview:
            return command;
        // Credential management in the one form GetInfo offers.
        case CtapCommand::kCredentialManagement:
            return config.reportsCtap21 ? std::optional(command) : std::nullopt;
        case CtapCommand::kCredentialManagementPreview:
            return config.reportsCtap21 ? std::nullopt : std::optional(command);
        default:
            break;
    }
    if (!config.takesVendorCommandBytes()) {
        return std::nullopt;
    }
    switch (command) {
        case CtapCommand::kVendorMakeCredential:
            return CtapCommand::kMakeCredential;
        case CtapCommand::kVendorGetInfo:
            return CtapCommand::kGetInfo;
        case CtapCommand::kVendorClientPin:
            return CtapCommand::kClientPin;
        case CtapCommand::kVendorReset:
            return CtapCommand::kReset;
        case CtapCommand::kVendorBioEnrollment:
            return CtapCommand::kBioEnrollmentPreview;
        default:
            return std::nullopt;
    }
}

}  // namespace

bool IsApduRequest(const Config& config, ByteView payload) {
    if (payload.empty()) {
        return false;
    }
    const std::uint8_t cla = payload[0];
    if (cla == static_cast<std::uint8_t>(ApduClass::kPlain) ||
        cla == static_cast<std::uint8_t>(ApduClass::kSecure)) {
        return true;
    }
    return config.isLegacy() && cla == static_cast<std::uint8_t>(ApduClass::kSecurePin);
}

CommandResult Dispatch(KeyContext& ctx, ByteView payload) {
    if (IsApduRequest(ctx.config, payload)) {
        return {HandleApdu(ctx, payload), std::nullopt};
    }
    const std::optional<CtapCommand> command =
        ctx.config.isLegacy() ? std::nullopt : CommandOf(ctx.config, payload[0]);
    if (!command) {
        return {StatusOnly(CtapStatus::kInvalidCommand), std::nullopt};
    }
    const ByteView parameters = payload.subspan(1);
    switch (*command) {
        case CtapCommand::kGetInfo:
            return HandleGetInfo(ctx);
        case CtapCommand::kClientPin:
            return HandleClientPin(ctx, parameters);
        case CtapCommand::kBioEnrollmentPreview:
            return HandleBioEnrollment(ctx, parameters);
        case CtapCommand::kMakeCredential:
            return HandleMakeCredential(ctx, parameters);
        case CtapCommand::kReset:
            return HandleReset(ctx);
        case CtapCommand::kGetAssertion:
            return HandleGetAssertion(ctx, parameters);
        case CtapCommand::kGetNextAssertion:
            return HandleGetNextAssertion(ctx);
        case CtapCommand::kCredentialManagement:
        case CtapCommand::kCredentialManagementPreview:
            return HandleCredentialManagement(ctx, parameters);
        default:
            break;
    }
    return {StatusOnly(CtapStatus::kInvalidCommand), std::nullopt};
}

}  // namespace kelvora::vkey
