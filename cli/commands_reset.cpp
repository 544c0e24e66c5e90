// `reset`: the factory reset, with the warning the main window gives and, when the key refuses
// because it was plugged in too long ago (CTAP 2.1 §6.6), a guided re-plug: wait for the key to
// go and come back, then send the reset inside its window while counting down.
#include <thread>

#include "cli/commands.h"
#include "cli/identity_check.h"
#include "cli/key_session.h"
#include "ctap/key_abilities.h"
#include "ctap/key_operations.h"
#include "ctap/reset.h"
#include "ctap/status.h"

namespace kelvora::cli {

namespace {

// CTAP 2.1 §6.6: keys take a reset within 10 seconds of power-up only.
constexpr std::uint32_t kResetWindowMs = 10000;
constexpr std::uint32_t kPollIntervalMs = 100;
constexpr std::uint32_t kCountdownStepMs = 1000;

constexpr std::string_view kWarning =
    "Reset: the key returns to its factory settings. Its PIN and every enrolled fingerprint "
    "are erased.\n"
    "Some keys accept a reset only within 10 seconds of being plugged in; if the reset is "
    "refused, you will be asked to unplug the key and plug it in again.";

bool Refused(std::uint16_t status) {
    return status == kCtapErrNotAllowed || status == kCtapErrOperationDenied;
}

bool KeyPresent(CliEnv& env, std::uint16_t productId) {
    for (const auto& key : FindKeys(env.backend)) {
        if (!key.accessDenied && key.productId == productId) {
            return true;
        }
    }
    return false;
}

enum class WaitEnd { kDone, kTimedOut, kInterrupted };

// Polls until `done` holds, the re-plug time-out passed, or the user interrupted.
template <typename Condition>
WaitEnd WaitUntil(CliEnv& env, Condition done) {
    const std::uint64_t start = env.clock.NowMs();
    while (!done()) {
        if (env.interrupted) {
            return WaitEnd::kInterrupted;
        }
        if (env.clock.NowMs() - start >= env.replugTimeoutMs) {
            return WaitEnd::kTimedOut;
        }
        env.clock.SleepMs(kPollIntervalMs);
    }
    return WaitEnd::kDone;
}

// Sends the reset on a worker while this thread shows the seconds left of the window.
std::uint16_t ResetWithCountdown(CliEnv& env, Reporter& reporter, KeySession& session,
                                 std::uint64_t arrivedAtMs) {
    std::atomic<bool> finished{false};
    std::uint16_t status = kStatusNoResult;
    std::thread worker([&] {
        status = ResetAuthenticator(session.Device());
        finished = true;
    });
    // Shown at least once: the user must hear about the touch before the key is waiting.
    do {
        const std::uint64_t elapsed = env.clock.NowMs() - arrivedAtMs;
        const std::uint64_t left = elapsed >= kResetWindowMs ? 0 : kResetWindowMs - elapsed;
        reporter.Note("Touch the key to confirm the reset: " +
                      std::to_string((left + kCountdownStepMs - 1) / kCountdownStepMs) + " s left");
        for (std::uint32_t waited = 0; waited < kCountdownStepMs && !finished;
             waited += kPollIntervalMs) {
            env.clock.SleepMs(kPollIntervalMs);
        }
    } while (!finished);
    worker.join();
    return status;
}

// What a reset erases besides the PIN and the fingerprints. The key counts its passkeys only
// under the PIN, so they are counted when one is given; a wrong PIN stops before anything
// is erased. Returns kExitOk, with the count when the key told it.
int ReadPasskeysToErase(CliEnv& env, const CliOptions& options, Reporter& reporter,
                        KeySession& session, std::optional<std::uint32_t>& count) {
    count.reset();
    if (!AbilitiesOf(session.State()).managesPasskeys) {
        return kExitOk;
    }
    if (session.State().pinSet && PinGiven(options)) {
        if (const int code = VerifyPin(env, options, reporter, session); code != kExitOk) {
            return code;
        }
        PasskeyMetadata metadata;
        if (ReadPasskeyMetadataOnKey(session.Device(), metadata).succeeded) {
            count = metadata.existing;
        }
    }
    return kExitOk;
}

void NotePasskeysToErase(Reporter& reporter, const std::optional<std::uint32_t>& count,
                         bool pinSet) {
    if (count) {
        reporter.Note(*count == 0 ? "The key holds no passkey."
                                  : "The key holds " + std::to_string(*count) +
                                        (*count == 1 ? " passkey" : " passkeys") +
                                        "; the reset erases them too, and their sites will no "
                                        "longer accept them.");
    } else if (pinSet) {
        reporter.Note(
            "Any passkeys the key holds are erased too (give the PIN with --pin-stdin or "
            "--pin-fd N to have them counted).");
    } else {
        reporter.Note("Any passkeys the key holds are erased too.");
    }
}

}  // namespace

int RunResetCommand(CliEnv& env, const CliOptions& options, Reporter& reporter) {
    if (options.words.size() > 1) {
        return reporter.Fail(kExitUsage, "reset takes no arguments");
    }
    KeySession session;
    if (const int code = session.Open(env, options, reporter); code != kExitOk) {
        return code;
    }
    std::optional<std::uint32_t> passkeys;
    if (const int code = ReadPasskeysToErase(env, options, reporter, session, passkeys);
        code != kExitOk) {
        return code;
    }
    reporter.Note(kWarning);
    if (AbilitiesOf(session.State()).managesPasskeys) {
        NotePasskeysToErase(reporter, passkeys, session.State().pinSet);
    }
    if (!options.yes) {
        const std::optional<std::string> answer =
            env.input.ReadLine("Type 'yes' to reset the key: ", false);
        if (env.interrupted || !answer || *answer != "yes") {
            return reporter.Fail(kExitCancelled, "reset not confirmed; nothing was changed");
        }
    }
    const std::uint16_t productId = session.Key().productId;
    const std::uint16_t success = SuccessStatus(productId);

    reporter.Note("Touch the key to confirm the reset.");
    std::uint16_t status = ResetAuthenticator(session.Device());
    bool replugged = false;
    if (status != success && Refused(status)) {
        replugged = true;
        reporter.Note(
            "The key refuses a reset this long after it was plugged in. Unplug it now "
            "and plug it in again.");
        session.Close();
        WaitEnd end = WaitUntil(env, [&] { return !KeyPresent(env, productId); });
        if (end == WaitEnd::kDone) {
            reporter.Note("Key removed; plug it in again.");
            end = WaitUntil(env, [&] { return KeyPresent(env, productId); });
        }
        if (end == WaitEnd::kInterrupted) {
            return reporter.Fail(kExitCancelled, "cancelled; nothing was changed");
        }
        if (end == WaitEnd::kTimedOut) {
            return reporter.Fail(kExitKeyError,
                                 "the key was not re-plugged in time; nothing was changed");
        }
        const std::uint64_t arrivedAt = env.clock.NowMs();
        // The node may be renumbered after a re-plug: look the key up by its model.
        std::optional<FoundKey> key;
        for (const auto& found : FindKeys(env.backend)) {
            if (!found.accessDenied && found.productId == productId) {
                key = found;
                break;
            }
        }
        if (!key || !session.OpenKey(env, env.backend, *key)) {
            return reporter.Fail(kExitNoKey, "the re-plugged key could not be opened");
        }
        status = ResetWithCountdown(env, reporter, session, arrivedAt);
    }
    if (status != success) {
        return reporter.FailWithStatus("resetting the key", status);
    }
    const Json result = {{"command", "reset"},
                         {"replugged", replugged},
                         {"passkeysErased", passkeys ? Json(*passkeys) : Json()}};
    return reporter.Done(result, "The key was reset to its factory settings.");
}

}  // namespace kelvora::cli
