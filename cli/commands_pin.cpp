// `pin set`, `pin change`, `pin verify`, `pin retries`.
#include "cli/commands.h"
#include "cli/input_rules.h"
#include "cli/key_session.h"
#include "cli/new_key_protection.h"
#include "ctap/client_pin.h"
#include "ctap/key_abilities.h"
#include "ctap/key_operations.h"
#include "ctap/status.h"
#include "transport/apdu.h"

namespace kelvora::cli {

namespace {

Json CommandResult(std::string_view command) {
    return {{"command", command}};
}

std::optional<std::uint32_t> RetriesAfterFailure(KeySession& session, const KeyOutcome& outcome) {
    return outcome.wrongPin ? RetriesAfter(session.Device(), outcome) : std::nullopt;
}

int PinSet(CliEnv& env, const CliOptions& options, Reporter& reporter, KeySession& session) {
    if (session.State().pinSet) {
        return reporter.Fail(kExitKeyError, "a PIN is already set; use 'pin change'");
    }
    int code = kExitOk;
    if (!SetFirstPin(env, options, reporter, session, code)) {
        return code;
    }
    return reporter.Done(CommandResult("pin set"), "The PIN was set.");
}

int PinChange(CliEnv& env, const CliOptions& options, Reporter& reporter, KeySession& session) {
    if (!session.State().pinSet) {
        return reporter.Fail(kExitKeyError, "no PIN is set; use 'pin set'");
    }
    int code = kExitOk;
    std::optional<std::string> current =
        ReadPin(env, reporter, session.Key().productId, "Current PIN: ", options.pin, code);
    const WipedAtExit wipeCurrent(current);
    if (!current) {
        return code;
    }
    std::optional<std::string> next =
        ReadNewPin(env, options, reporter, session.Key().productId, options.newPin, code);
    const WipedAtExit wipeNext(next);
    if (!next) {
        return code;
    }
    const KeyOutcome outcome = ChangePinOnKey(session.Device(), *current, *next);
    if (outcome.status == kSwTransportFailure) {
        // The request may have reached the key and only its answer been lost; the old PIN
        // tried again would then cost a retry.
        reporter.Note(
            "The key may have changed the PIN before its answer was lost: check with "
            "'pin verify' and the new PIN before trying again.");
    }
    if (!outcome.succeeded) {
        return reporter.FailWithStatus("changing the PIN", outcome.status,
                                       RetriesAfterFailure(session, outcome));
    }
    return reporter.Done(CommandResult("pin change"), "The PIN was changed.");
}

int PinVerify(CliEnv& env, const CliOptions& options, Reporter& reporter, KeySession& session) {
    if (!session.State().pinSet) {
        return reporter.Fail(kExitKeyError, "no PIN is set; use 'pin set'");
    }
    int code = kExitOk;
    std::optional<std::string> pin =
        ReadPin(env, reporter, session.Key().productId, "PIN: ", options.pin, code);
    const WipedAtExit wipePin(pin);
    if (!pin) {
        return code;
    }
    const KeyOutcome outcome = VerifyPinOnKey(session.Device(), *pin);
    if (!outcome.succeeded) {
        return reporter.FailWithStatus("verifying the PIN", outcome.status,
                                       RetriesAfterFailure(session, outcome));
    }
    Json result = CommandResult("pin verify");
    result["verified"] = true;
    return reporter.Done(result, "The PIN is correct.");
}

int PinRetries(Reporter& reporter, KeySession& session) {
    Json result = CommandResult("pin retries");
    result["pinSet"] = session.State().pinSet.load();
    // A key without a PIN still answers its counter's starting value, which is no retry
    // anyone has.
    if (!session.State().pinSet) {
        result["retries"] = nullptr;
        return reporter.Done(result, "No PIN is set, so there are no PIN retries.");
    }
    std::uint32_t retries = 0;
    if (const int status = GetPinRetries(session.Device(), retries); status != kCtapSuccess) {
        return reporter.FailWithStatus("reading the PIN retries", status);
    }
    result["retries"] = retries;
    return reporter.Done(result, "PIN retries left: " + std::to_string(retries));
}

}  // namespace

int RunPinCommand(CliEnv& env, const CliOptions& options, Reporter& reporter) {
    const std::string sub = options.words.size() > 1 ? options.words[1] : std::string();
    if (sub != "set" && sub != "change" && sub != "verify" && sub != "retries") {
        return reporter.Fail(kExitUsage, sub.empty() ? "pin: say set, change, verify or retries"
                                                     : "pin: unknown subcommand '" + sub + "'");
    }
    if (options.words.size() > 2) {
        return reporter.Fail(kExitUsage, "pin " + sub + " takes no arguments");
    }
    KeySession session;
    if (const int code = session.Open(env, options, reporter); code != kExitOk) {
        return code;
    }
    if (const int code = session.RequireInfo(reporter); code != kExitOk) {
        return code;
    }
    const KeyAbilities abilities = AbilitiesOf(session.State());
    if ((sub == "verify" && !abilities.checksPin) ||
        (sub == "retries" && !abilities.tellsPinRetries)) {
        return reporter.Fail(kExitKeyError,
                             "this model cannot tell its PIN retries or check a "
                             "PIN on its own; 'pin change' checks the PIN");
    }
    if (sub == "set") {
        return PinSet(env, options, reporter, session);
    }
    if (sub == "change") {
        return PinChange(env, options, reporter, session);
    }
    if (sub == "verify") {
        return PinVerify(env, options, reporter, session);
    }
    return PinRetries(reporter, session);
}

}  // namespace kelvora::cli
