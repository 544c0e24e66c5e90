// `passkeys list | delete`: the passkeys (resident credentials) a key holds, per site.
#include <sstream>

#include "cli/commands.h"
#include "cli/credential_id_text.h"
#include "cli/identity_check.h"
#include "cli/key_session.h"
#include "cli/terminal_text.h"
#include "ctap/key_abilities.h"
#include "ctap/key_operations.h"

namespace kelvora::cli {

namespace {

// The key must offer the command and, as it lists passkeys only to the PIN's owner, have a
// PIN; then the PIN is proved.
int ProvePinForPasskeys(CliEnv& env, const CliOptions& options, Reporter& reporter,
                        KeySession& session) {
    if (!AbilitiesOf(session.State()).managesPasskeys) {
        return reporter.Fail(kExitKeyError, "this key does not manage passkeys");
    }
    if (!session.State().pinSet) {
        return reporter.Fail(kExitKeyError,
                             "the key has no PIN, and shows its passkeys only under one; set "
                             "one with 'pin set'");
    }
    return VerifyPin(env, options, reporter, session);
}

Json PasskeyJson(const Passkey& passkey) {
    return {{"credentialId", CredentialIdText(passkey.credentialId)},
            {"userId", CredentialIdText(passkey.userId)},
            {"userName", passkey.userName},
            {"displayName", passkey.displayName}};
}

std::string PasskeyLine(const Passkey& passkey) {
    const auto shown = [](const std::string& name) {
        return name.empty() ? std::string("-") : TerminalSafe(name);
    };
    return "  " + shown(passkey.userName) + "\t" + shown(passkey.displayName) + "\t" +
           CredentialIdText(passkey.credentialId);
}

std::string SiteHeading(const PasskeySite& site) {
    std::string heading = TerminalSafe(site.rpId);
    if (!site.rpName.empty()) {
        heading += " (" + TerminalSafe(site.rpName) + ")";
    }
    const std::size_t count = site.passkeys.size();
    return heading + ": " + std::to_string(count) + (count == 1 ? " passkey" : " passkeys");
}

int List(Reporter& reporter, KeySession& session) {
    PasskeyMetadata metadata;
    if (const KeyOutcome outcome = ReadPasskeyMetadataOnKey(session.Device(), metadata);
        !outcome.succeeded) {
        return reporter.FailWithStatus("counting the passkeys", outcome.status);
    }
    std::vector<PasskeySite> sites;
    if (const KeyOutcome outcome = ListPasskeysOnKey(session.Device(), sites); !outcome.succeeded) {
        return reporter.FailWithStatus("listing the passkeys", outcome.status);
    }
    Json sitesJson = Json::array();
    std::ostringstream text;
    for (const PasskeySite& site : sites) {
        Json passkeys = Json::array();
        text << SiteHeading(site) << '\n';
        for (const Passkey& passkey : site.passkeys) {
            passkeys.push_back(PasskeyJson(passkey));
            text << PasskeyLine(passkey) << '\n';
        }
        sitesJson.push_back(
            {{"rpId", site.rpId}, {"rpName", site.rpName}, {"passkeys", std::move(passkeys)}});
    }
    const std::size_t total = PasskeyCount(sites);
    text << total << (total == 1 ? " passkey" : " passkeys") << " on " << sites.size()
         << (sites.size() == 1 ? " site" : " sites") << "; room for " << metadata.remaining
         << " more\n";
    return reporter.Done(
        {{"sites", std::move(sitesJson)}, {"total", total}, {"remaining", metadata.remaining}},
        text.str());
}

int Delete(CliEnv& env, const CliOptions& options, Reporter& reporter, KeySession& session,
           const std::vector<std::uint8_t>& id) {
    std::vector<PasskeySite> sites;
    if (const KeyOutcome outcome = ListPasskeysOnKey(session.Device(), sites); !outcome.succeeded) {
        return reporter.FailWithStatus("listing the passkeys", outcome.status);
    }
    const PasskeySite* site = nullptr;
    const Passkey* found = nullptr;
    for (const PasskeySite& candidate : sites) {
        for (const Passkey& passkey : candidate.passkeys) {
            if (passkey.credentialId == id) {
                site = &candidate;
                found = &passkey;
            }
        }
    }
    if (found == nullptr) {
        return reporter.Fail(kExitUsage,
                             "the key holds no passkey with credential id " + CredentialIdText(id));
    }
    const std::string what =
        "the passkey of " +
        (found->userName.empty() ? std::string("an unnamed user") : TerminalSafe(found->userName)) +
        " on " + TerminalSafe(site->rpId);
    if (!options.yes) {
        reporter.Note("Delete " + what + "? The site will no longer accept it.");
        const std::optional<std::string> answer =
            env.input.ReadLine("Type 'yes' to delete it: ", false);
        if (env.interrupted || !answer || *answer != "yes") {
            return reporter.Fail(kExitCancelled, "deletion not confirmed; nothing was changed");
        }
    }
    Json result = {{"command", "passkeys delete"}, {"rpId", site->rpId}};
    result.update(PasskeyJson(*found));
    if (const KeyOutcome outcome = DeletePasskeyOnKey(session.Device(), id); !outcome.succeeded) {
        return reporter.FailWithStatus("deleting the passkey", outcome.status);
    }
    return reporter.Done(result, "Deleted " + what + ".");
}

}  // namespace

int RunPasskeysCommand(CliEnv& env, const CliOptions& options, Reporter& reporter) {
    const auto& words = options.words;
    const std::string sub = words.size() > 1 ? words[1] : std::string();
    if (sub != "list" && sub != "delete") {
        return reporter.Fail(kExitUsage, sub.empty()
                                             ? "passkeys: say list or delete"
                                             : "passkeys: unknown subcommand '" + sub + "'");
    }
    const std::size_t arguments = sub == "delete" ? 1 : 0;
    if (words.size() != 2 + arguments) {
        return reporter.Fail(kExitUsage, "passkeys " + sub + ": expected " +
                                             (arguments == 1 ? "CREDENTIAL-ID" : "no arguments"));
    }
    std::optional<std::vector<std::uint8_t>> id;
    if (arguments == 1) {
        id = ParseCredentialId(words[2]);
        if (!id) {
            return reporter.Fail(kExitUsage,
                                 "CREDENTIAL-ID must be base64url, as 'passkeys "
                                 "list' shows it, not '" +
                                     TerminalSafe(words[2]) + "'");
        }
    }
    KeySession session;
    if (const int code = session.Open(env, options, reporter); code != kExitOk) {
        return code;
    }
    if (const int code = session.RequireInfo(reporter); code != kExitOk) {
        return code;
    }
    if (const int code = ProvePinForPasskeys(env, options, reporter, session); code != kExitOk) {
        return code;
    }
    return id ? Delete(env, options, reporter, session, *id) : List(reporter, session);
}

}  // namespace kelvora::cli
