#include "cli/new_key_protection.h"

#include "cli/input_rules.h"
#include "ctap/key_abilities.h"
#include "ctap/key_operations.h"

namespace kelvora::cli {

std::optional<std::string> SetFirstPin(CliEnv& env, const CliOptions& options, Reporter& reporter,
                                       KeySession& session, int& code) {
    std::optional<std::string> pin = ReadNewPin(env, options, reporter, session.Key().productId,
                                                options.pin ? options.pin : options.newPin, code);
    if (!pin) {
        return std::nullopt;
    }
    if (const KeyOutcome outcome = SetPinOnKey(session.Device(), *pin); !outcome.succeeded) {
        WipeString(*pin);
        code = reporter.FailWithStatus("setting the PIN", outcome.status);
        return std::nullopt;
    }
    return pin;
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
            "--pin-fd N), or --fingerprint-only to protect it by fingerprints alone");
    }
    int code = kExitOk;
    std::optional<std::string> pin = SetFirstPin(env, options, reporter, session, code);
    const WipedAtExit wipePin(pin);
    if (!pin) {
        return code;
    }
    reporter.Note("The PIN was set.");
    session.RefreshInfo();
    if (!AbilitiesOf(session.State()).checksPin) {
        return kExitOk;  // no token to fetch
    }
    // The enrollment's requests carry a pinAuth from now on.
    if (const KeyOutcome token = VerifyPinOnKey(session.Device(), *pin); !token.succeeded) {
        return reporter.FailWithStatus("verifying the new PIN", token.status);
    }
    return kExitOk;
}

}  // namespace kelvora::cli
