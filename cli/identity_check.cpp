#include "cli/identity_check.h"

#include "cli/input_rules.h"
#include "ctap/key_abilities.h"
#include "ctap/key_operations.h"

namespace kelvora::cli {

int CheckFingerprint(CliEnv& env, Reporter& reporter, KeySession& session) {
    reporter.Note("Touch the sensor with an enrolled finger (Ctrl-C to stop).");
    const BioSequenceServices services{env.clock, env.debug, env.wallClock};
    const VerificationOutcome outcome =
        RunVerificationTest(session.Device(), {}, env.interrupted, services);
    if (outcome.end == SequenceEnd::kCancelled) {
        return reporter.Fail(kExitCancelled, "cancelled");
    }
    if (outcome.end != SequenceEnd::kFinished) {
        return reporter.Fail(kExitNoKey, "the key was removed");
    }
    switch (VerdictOnKey(session.Device(), outcome.lastStatus)) {
        case Verdict::kVerified:
            return kExitOk;
        case Verdict::kNotVerified:
            return reporter.Fail(kExitNotVerified, "the finger did not match", outcome.lastStatus);
        case Verdict::kNoVerdict:
            break;
    }
    return reporter.FailWithStatus("the fingerprint check", outcome.lastStatus);
}

int VerifyPin(CliEnv& env, const CliOptions& options, Reporter& reporter, KeySession& session) {
    int code = kExitOk;
    std::optional<std::string> pin =
        ReadPin(env, reporter, session.Key().productId, "PIN: ", options.pin, code);
    const WipedAtExit wipePin(pin);
    if (!pin) {
        return code;
    }
    const KeyOutcome outcome = VerifyPinOnKey(session.Device(), *pin);
    if (outcome.succeeded) {
        return kExitOk;
    }
    return reporter.FailWithStatus(
        "verifying the PIN", outcome.status,
        outcome.wrongPin ? RetriesAfter(session.Device(), outcome) : std::nullopt);
}

void NoteUnusedPin(Reporter& reporter, KeySession& session) {
    reporter.Note(!AbilitiesOf(session.State()).checksPin
                      ? "note: this model does not check a PIN here; the PIN given is not used"
                      : "note: the key has no PIN, so the PIN given is not used (set one with "
                        "'pin set')");
}

int ProveIdentity(CliEnv& env, const CliOptions& options, Reporter& reporter, KeySession& session,
                  Proof required, const KeyFacts& key, Proof& proof) {
    proof = Proof::kNothing;
    if (required == Proof::kRefuseLastWithoutPin) {
        return reporter.Fail(kExitKeyError,
                             "the last fingerprint cannot be deleted from a key without a PIN; "
                             "set a PIN first");
    }
    if (required == Proof::kRefuseNoFingerprint) {
        return reporter.Fail(kExitKeyError, "no fingerprint is enrolled");
    }
    // The legacy models take their fingerprint commands under secure messaging without a PIN
    // token and have no way to check a PIN alone; they prove a finger when one is enrolled.
    const Proof asked = ProofWithoutAsking(required, key, AbilitiesOf(session.State()).checksPin);
    if (asked == Proof::kPin) {
        if (const int code = VerifyPin(env, options, reporter, session); code != kExitOk) {
            return code;
        }
        proof = Proof::kPin;
        return kExitOk;
    }
    if (PinGiven(options)) {
        NoteUnusedPin(reporter, session);
    }
    if (asked == Proof::kFinger) {
        if (const int code = CheckFingerprint(env, reporter, session); code != kExitOk) {
            return code;
        }
        proof = Proof::kFinger;
    }
    return kExitOk;
}

}  // namespace kelvora::cli
