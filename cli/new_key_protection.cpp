#include "cli/new_key_protection.h"

#include "cli/input_rules.h"
#include "ctap/client_pin.h"
#include "ctap/legacy_pin.h"
#include "ctap/status.h"

namespace kelvora::cli {

std::optional<std::string> SetFirstPin(CliEnv& env, const CliOptions& options, Reporter& reporter,
                                       KeySession& session, int& code) {
    std::optional<std::string> pin =
        ReadNewPin(env, options, reporter, options.pin ? options.pin : options.newPin, code);
    if (!pin) {
        return std::nullopt;
    }
    const int status =
        session.Legacy() ? SetPinLegacy(session.Device(), *pin) : SetPin(session.Device(), *pin);
    if (status != SuccessStatus(session.Key().productId)) {
        code = reporter.FailWithStatus("setting the PIN", status);
        return std::nullopt;
    }
    return pin;
}

bool IsNewKey(KeySession& session) {
    return !session.State().pinSet && !session.State().uvConfigured;
}

int ChooseNewKeyProtection(CliEnv& env, const CliOptions& options, Reporter& reporter,
                           KeySession& session) {
    const bool pinGiven = PinGiven(options);
    if (pinGiven && options.fingerprintOnly) {
        return reporter.Fail(kExitUsage,
                             "--fingerprint-only and a PIN contradict each other; give one of "
                             "them");
    }
    if (options.fingerprintOnly) {
        return kExitOk;
    }
    if (!pinGiven) {
        return reporter.Fail(
            kExitUsage,
            "the key has neither a PIN nor a fingerprint, so this fingerprint decides how it is "
            "protected: give a PIN to set first (--set-pin to be asked for it, or --pin-stdin, "
            "--pin-fd N, --pin PIN), or --fingerprint-only to protect it by fingerprints alone");
    }
    int code = kExitOk;
    const std::optional<std::string> pin = SetFirstPin(env, options, reporter, session, code);
    if (!pin) {
        return code;
    }
    reporter.Note("The PIN was set.");
    session.RefreshInfo();
    if (session.Legacy()) {
        return kExitOk;
    }
    // The enrollment's requests carry a pinAuth from now on.
    if (const int token = GetPinToken(session.Device(), *pin); token != kCtapSuccess) {
        return reporter.FailWithStatus("verifying the new PIN", token);
    }
    return kExitOk;
}

}  // namespace kelvora::cli
