// `fingerprints list | enroll | rename | delete | verify`.
#include <sstream>

#include "cli/commands.h"
#include "cli/enroll_time_text.h"
#include "cli/fingerprint_reading.h"
#include "cli/identity_check.h"
#include "cli/input_rules.h"
#include "cli/key_session.h"
#include "cli/new_key_protection.h"
#include "cli/sample_status.h"
#include "cli/terminal_text.h"
#include "ctap/bio_enrollment.h"
#include "ctap/bio_templates.h"
#include "ctap/enrollment.h"
#include "ctap/fingerprint_name.h"
#include "ctap/fingerprint_record.h"
#include "ctap/key_abilities.h"
#include "ctap/key_operations.h"
#include "ctap/legacy_bio.h"
#include "ctap/status.h"
#include "platform/text.h"

namespace kelvora::cli {

namespace {

Json Entry(CliEnv& env, const Fingerprints& prints, std::uint16_t slot) {
    const std::string stored = prints.StoredName(slot);
    const std::optional<std::string> visible = text::AnsiToUtf8(SplitStoredName(stored).visible);
    const std::string enrolled = EnrollTimeText(stored, env.localTime);
    return {{"slot", slot},
            {"name", visible ? Json(*visible) : Json()},
            {"enrolled", enrolled.empty() ? Json() : Json(enrolled)}};
}

std::string EntryText(CliEnv& env, const Fingerprints& prints, std::uint16_t slot) {
    const std::string stored = prints.StoredName(slot);
    std::ostringstream text;
    const std::optional<std::string> visible = text::AnsiToUtf8(SplitStoredName(stored).visible);
    text << slot << "\t"
         << (visible ? TerminalSafe(*visible) : "(the name cannot be decoded on this system)")
         << "\t" << EnrollTimeText(stored, env.localTime);
    return text.str();
}

int List(CliEnv& env, Reporter& reporter, KeySession& session) {
    Fingerprints prints;
    if (const int status = ReadFingerprints(env, session, prints); status != 0) {
        return reporter.FailWithStatus("reading the fingerprints", status);
    }
    Json array = Json::array();
    std::ostringstream text;
    for (std::uint16_t slot = 0; slot < kSlotCount; ++slot) {
        if (prints.Has(slot)) {
            array.push_back(Entry(env, prints, slot));
            text << EntryText(env, prints, slot) << '\n';
        }
    }
    if (prints.Count() == 0) {
        text << "no fingerprint enrolled\n";
    }
    return reporter.Done({{"fingerprints", std::move(array)}}, text.str());
}

// Gives `slot` the visible name `visibleUtf8`, keeping its stamp. Returns the key's status.
int Rename(KeySession& session, const Fingerprints& prints, std::uint16_t slot,
           std::string_view visibleUtf8) {
    const std::optional<std::string> visible = text::Utf8ToAnsi(visibleUtf8);
    if (!visible) {
        return kStatusNoResult;  // this system cannot write the key's code page
    }
    const std::string stored = RenamedFingerprintName(prints.StoredName(slot), *visible);
    const auto templateId = TemplateIdFromSlot(slot);
    // The rename window sends the name without pinAuth; the maker's keys accept it after the
    // identity check.
    return SetFriendlyName(session.Device(), templateId, stored, false);
}

int Enroll(CliEnv& env, const CliOptions& options, Reporter& reporter, KeySession& session) {
    if (options.name) {
        if (!AbilitiesOf(session.State()).namesFingerprints) {
            return reporter.Fail(kExitUsage,
                                 "this model keeps no fingerprint names; leave out "
                                 "--name");
        }
        if (const std::string problem = NameProblem(*options.name); !problem.empty()) {
            return reporter.Fail(kExitUsage, problem);
        }
    }
    // What the key holds decides the proof, by the rule the windows go by. A CTAP2 key that
    // keeps its list to the PIN's owner lists nothing yet; its GetInfo tells instead.
    Fingerprints listed;
    ReadFingerprints(env, session, listed);
    const KeyFacts key{session.State().pinSet,
                       HoldsFingerprints(session.State().uvConfigured, listed.Count()), false};
    const Proof required = ProofFor(FingerprintOperation::kEnroll, key);
    Proof proof = Proof::kNothing;
    if (const int code = required == Proof::kFirstUse
                             ? ChooseNewKeyProtection(env, options, reporter, session)
                             : ProveIdentity(env, options, reporter, session, required, key, proof);
        code != kExitOk) {
        return code;
    }
    Fingerprints before;
    if (const int status = ReadFingerprints(env, session, before); status != 0) {
        return reporter.FailWithStatus("reading the fingerprints", status);
    }
    const std::optional<std::uint16_t> freeSlot = FirstFreeSlot(before.slots);
    if (!freeSlot) {
        return reporter.Fail(kExitKeyError,
                             "the key holds 49 fingerprints, the most it takes; delete one first");
    }

    reporter.Note(
        "Touch the sensor with the finger to enrol, lifting it between touches "
        "(Ctrl-C to cancel).");
    const BioSequenceServices services{env.clock, env.debug, env.wallClock};
    const EnrollmentFamily family = EnrollmentFamilyOf(session.State());
    // A legacy model is polled several times a second; only changes are worth a line.
    std::optional<std::pair<int, int>> shown;
    int sample = 0;
    const SequenceOutcome outcome = RunEnrollmentOnKey(
        session.Device(), family, *freeSlot,
        [&](int count, int status) {
            if (family == EnrollmentFamily::kLegacy) {
                if (shown == std::make_pair(count, status)) {
                    return;
                }
                shown = std::make_pair(count, status);
                reporter.Note("samples taken " + std::to_string(count) + ": " +
                              LegacySampleStatusText(static_cast<std::uint16_t>(status)));
                return;
            }
            std::string line =
                "sample " + std::to_string(++sample) + ": " + SampleStatusText(status);
            if (count >= 0) {
                line += "; " + std::to_string(count) + " more to go";
            }
            reporter.Note(line);
        },
        env.interrupted, services);
    if (outcome.end == SequenceEnd::kCancelled) {
        return reporter.Fail(kExitCancelled, "enrollment cancelled; the key kept nothing of it");
    }
    if (outcome.end != SequenceEnd::kFinished) {
        return reporter.Fail(kExitNoKey, "the key was removed during enrollment");
    }
    const EnrollmentVerdict verdict = VerdictOf(family, outcome);
    if (verdict == EnrollmentVerdict::kNotEnrolled) {
        return reporter.FailWithStatus("enrolling", outcome.result);
    }
    if (verdict == EnrollmentVerdict::kEnrolledWithoutName && !options.name) {
        reporter.Note("The key took the fingerprint but refused its default name (status " +
                      StatusText(outcome.result) + ").");
    }

    Fingerprints after;
    if (const int status = ReadFingerprints(env, session, after); status != 0) {
        return reporter.FailWithStatus("reading the new fingerprint", status);
    }
    std::optional<std::uint16_t> slot;
    for (std::uint16_t s = 0; s < kSlotCount && !slot; ++s) {
        if (after.Has(s) && !before.Has(s)) {
            slot = s;
        }
    }
    if (!slot) {
        return reporter.Fail(kExitKeyError,
                             "the key reported success but lists no new "
                             "fingerprint");
    }
    if (options.name) {
        const int status = Rename(session, after, *slot, *options.name);
        if (status != kCtapSuccess) {
            return reporter.Fail(kExitKeyError,
                                 "the fingerprint was enrolled in slot " + std::to_string(*slot) +
                                     " but naming it failed",
                                 status);
        }
        ReadFingerprints(env, session, after);
    }
    Json result = Entry(env, after, *slot);
    result["command"] = "fingerprints enroll";
    return reporter.Done(result, "Enrolled: " + EntryText(env, after, *slot));
}

int RenameCommand(CliEnv& env, const CliOptions& options, Reporter& reporter, KeySession& session,
                  std::uint16_t slot, const std::string& name) {
    if (!AbilitiesOf(session.State()).namesFingerprints) {
        return reporter.Fail(kExitUsage, "this model keeps no fingerprint names");
    }
    Fingerprints prints;
    if (const int status = ReadFingerprints(env, session, prints); status != 0) {
        return reporter.FailWithStatus("reading the fingerprints", status);
    }
    if (!prints.Has(slot)) {
        return reporter.Fail(kExitUsage, "slot " + std::to_string(slot) + " holds no fingerprint");
    }
    const KeyFacts key{session.State().pinSet,
                       HoldsFingerprints(session.State().uvConfigured, prints.Count()), false};
    Proof proof = Proof::kNothing;
    if (const int code = ProveIdentity(env, options, reporter, session,
                                       ProofFor(FingerprintOperation::kRename, key), key, proof);
        code != kExitOk) {
        return code;
    }
    // A refused rename is reported as the failure it is (the window used to close as if it
    // had worked).
    if (const int status = Rename(session, prints, slot, name); status != kCtapSuccess) {
        return reporter.FailWithStatus("renaming the fingerprint", status);
    }
    ReadFingerprints(env, session, prints);
    Json result = Entry(env, prints, slot);
    result["command"] = "fingerprints rename";
    return reporter.Done(result, "Renamed: " + EntryText(env, prints, slot));
}

int DeleteCommand(CliEnv& env, const CliOptions& options, Reporter& reporter, KeySession& session,
                  std::uint16_t slot) {
    Fingerprints prints;
    if (const int status = ReadFingerprints(env, session, prints); status != 0) {
        return reporter.FailWithStatus("reading the fingerprints", status);
    }
    if (!prints.Has(slot)) {
        return reporter.Fail(kExitUsage, "slot " + std::to_string(slot) + " holds no fingerprint");
    }
    const KeyFacts key{session.State().pinSet,
                       HoldsFingerprints(session.State().uvConfigured, prints.Count()),
                       prints.Count() == 1};
    Proof proof = Proof::kNothing;
    if (const int code = ProveIdentity(env, options, reporter, session,
                                       ProofFor(FingerprintOperation::kDelete, key), key, proof);
        code != kExitOk) {
        return code;
    }
    const KeyOutcome outcome = DeleteFingerprintOnKey(session.Device(), slot, proof == Proof::kPin);
    if (!outcome.succeeded) {
        return reporter.FailWithStatus("deleting the fingerprint", outcome.status);
    }
    const Json result = {{"command", "fingerprints delete"}, {"slot", slot}};
    return reporter.Done(result, "Deleted the fingerprint in slot " + std::to_string(slot) + ".");
}

int VerifyCommand(CliEnv& env, Reporter& reporter, KeySession& session) {
    Fingerprints prints;
    ReadFingerprints(env, session, prints);
    if (!HoldsFingerprints(session.State().uvConfigured, prints.Count())) {
        return reporter.Fail(kExitKeyError, "no fingerprint is enrolled");
    }
    if (const int code = CheckFingerprint(env, reporter, session); code != kExitOk) {
        return code;
    }
    const Json result = {{"command", "fingerprints verify"}, {"verified", true}};
    return reporter.Done(result, "The finger matched.");
}

}  // namespace

int RunFingerprintsCommand(CliEnv& env, const CliOptions& options, Reporter& reporter) {
    const auto& words = options.words;
    const std::string sub = words.size() > 1 ? words[1] : std::string();
    std::size_t arguments = 0;
    if (sub == "rename") {
        arguments = 2;
    } else if (sub == "delete") {
        arguments = 1;
    } else if (sub != "list" && sub != "enroll" && sub != "verify") {
        return reporter.Fail(
            kExitUsage, sub.empty() ? "fingerprints: say list, enroll, rename, delete or verify"
                                    : "fingerprints: unknown subcommand '" + sub + "'");
    }
    if (words.size() != 2 + arguments) {
        return reporter.Fail(kExitUsage, "fingerprints " + sub + ": expected " +
                                             (arguments == 2   ? "SLOT NAME"
                                              : arguments == 1 ? "SLOT"
                                                               : "no arguments"));
    }
    std::uint16_t slot = 0;
    if (arguments > 0) {
        const std::optional<std::uint16_t> parsed = ParseSlot(words[2]);
        if (!parsed) {
            return reporter.Fail(kExitUsage,
                                 "SLOT must be a number from 0 to 255, not '" + words[2] + "'");
        }
        slot = *parsed;
    }
    if (sub == "rename") {
        if (const std::string problem = NameProblem(words[3]); !problem.empty()) {
            return reporter.Fail(kExitUsage, problem);
        }
    }
    KeySession session;
    if (const int code = session.Open(env, options, reporter); code != kExitOk) {
        return code;
    }
    if (const int code = session.RequireInfo(reporter); code != kExitOk) {
        return code;
    }
    if (sub == "list") {
        return List(env, reporter, session);
    }
    if (sub == "enroll") {
        return Enroll(env, options, reporter, session);
    }
    if (sub == "rename") {
        return RenameCommand(env, options, reporter, session, slot, words[3]);
    }
    if (sub == "delete") {
        return DeleteCommand(env, options, reporter, session, slot);
    }
    return VerifyCommand(env, reporter, session);
}

}  // namespace kelvora::cli
