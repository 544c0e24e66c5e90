// `info`: every fact about the key a support person asks for, read without changing it.
#include <algorithm>
#include <span>
#include <sstream>

#include "cli/commands.h"
#include "cli/fingerprint_reading.h"
#include "cli/identity_check.h"
#include "cli/key_session.h"
#include "cli/terminal_text.h"
#include "ctap/client_pin.h"
#include "ctap/get_info_details.h"
#include "ctap/key_abilities.h"
#include "ctap/key_operations.h"
#include "platform/text.h"

namespace kelvora::cli {

namespace {

// Where the dashes of a UUID go, counted in bytes.
constexpr std::size_t kUuidGroupEnds[] = {4, 6, 8, 10};
constexpr std::size_t kLabelWidth = 22;
// A fact that depends on the firmware query, which the key did not answer.
constexpr const char* kUnanswered = "unknown (the key did not answer the firmware query)";

struct KeyFacts {
    std::optional<int> firmware;
    std::optional<int> retries;
    std::optional<int> fingerprints;
    std::optional<AuthenticatorDetails> details;  // CTAP2 keys that answered GetInfo
    const char* commandSet = "";
    const char* secureMessaging = "";
    bool enrollment = false;
    bool countNeedsPin = false;
    // Keys with credential management: the passkeys held and the room left, when the PIN's
    // token let the key tell them.
    bool managesPasskeys = false;
    std::optional<PasskeyMetadata> passkeys;
    // The firmware query failed: the version and what it decides are not known.
    bool firmwareUnread = false;
};

Json OptionalNumber(const std::optional<int>& value) {
    return value ? Json(*value) : Json();
}

// The AAGUID in the form of a UUID (RFC 4122), as authenticator lists print it.
std::string AaguidText(const std::vector<std::uint8_t>& aaguid) {
    std::string text;
    for (std::size_t i = 0; i < aaguid.size(); ++i) {
        for (const std::size_t end : kUuidGroupEnds) {
            text += i == end ? "-" : "";
        }
        text += text::BytesToHex(std::span(&aaguid[i], 1), text::HexCase::Lower);
    }
    return text;
}

// The number of enrolled fingerprints, when the key tells it. A key that holds some but
// lists none refused the listing without a PIN token: the number is then unknown.
std::optional<int> CountFingerprints(CliEnv& env, KeySession& session) {
    const bool configured = session.State().uvConfigured;
    if (!AbilitiesOf(session.State()).enrolls) {
        return configured ? std::nullopt : std::optional<int>(0);
    }
    Fingerprints prints;
    if (ReadFingerprints(env, session, prints) != 0) {
        return std::nullopt;
    }
    const auto count = static_cast<int>(prints.Count());
    return count == 0 && configured ? std::nullopt : std::optional<int>(count);
}

KeyFacts ReadFacts(CliEnv& env, KeySession& session, bool pinGiven) {
    const KeyState& state = session.State();
    const KeyAbilities abilities = AbilitiesOf(state);
    KeyFacts facts;
    if (abilities.tellsPinRetries && state.pinSet) {
        if (const std::optional<std::uint32_t> count = GetPinRetries(session.Device())) {
            facts.retries = static_cast<int>(*count);
        }
    }
    // What the key told when it was opened: neither changes while facts are read.
    if (abilities.describesItself) {
        facts.details = session.Details();
    }
    facts.firmware = session.Firmware();
    facts.fingerprints = CountFingerprints(env, session);
    facts.countNeedsPin = !facts.fingerprints && state.pinSet && abilities.checksPin && !pinGiven;
    // Names the family the key belongs to, for the reader.
    facts.commandSet = session.Legacy() ? "legacy" : state.vendorCommandSet ? "vendor" : "standard";
    facts.secureMessaging = session.Device().SecureMessagingAes() ? "aes" : "des";
    facts.firmwareUnread = session.FirmwareUnread();
    facts.enrollment = abilities.enrolls;
    facts.managesPasskeys = abilities.managesPasskeys;
    PasskeyMetadata metadata;
    if (facts.managesPasskeys && !state.pinToken.Empty() &&
        ReadPasskeyMetadataOnKey(session.Device(), metadata).succeeded) {
        facts.passkeys = metadata;
    }
    return facts;
}

Json FactsJson(KeySession& session, const KeyFacts& facts) {
    const KeyState& state = session.State();
    Json result = {
        {"path", session.Key().nodePath},
        {"model", session.Key().model},
        {"productId", ProductIdText(session.Key().productId)},
        {"firmware", OptionalNumber(facts.firmware)},
        {"pinSet", state.pinSet.load()},
        {"pinRetries", OptionalNumber(facts.retries)},
        {"fingerprintsConfigured", state.uvConfigured.load()},
        {"enrollmentSupported", facts.enrollment},
        {"commandSet", facts.firmwareUnread ? Json() : Json(facts.commandSet)},
        {"secureMessaging", facts.firmwareUnread ? Json() : Json(facts.secureMessaging)},
        {"productName",
         session.Key().productNameProblem.empty() ? Json(session.Key().productName) : Json()},
        {"fingerprints", OptionalNumber(facts.fingerprints)},
    };
    if (facts.managesPasskeys) {
        result["passkeys"] = facts.passkeys ? Json(facts.passkeys->existing) : Json();
        result["passkeysRemaining"] = facts.passkeys ? Json(facts.passkeys->remaining) : Json();
    }
    if (facts.firmwareUnread) {
        result["unknown"] = {"firmware", "commandSet", "secureMessaging"};
    }
    if (!facts.details) {
        for (const char* name : {"versions", "aaguid", "options", "maxMsgSize", "pinProtocols"}) {
            result[name] = nullptr;
        }
        return result;
    }
    const AuthenticatorDetails& details = *facts.details;
    Json options = Json::object();
    for (const auto& [name, value] : details.options) {
        options[name] = value;
    }
    result["versions"] = details.versions;
    result["aaguid"] = details.aaguid.empty() ? Json() : Json(AaguidText(details.aaguid));
    result["options"] = std::move(options);
    result["maxMsgSize"] = details.maxMsgSize ? Json(*details.maxMsgSize) : Json();
    result["pinProtocols"] = details.pinProtocols;
    return result;
}

template <typename Items, typename Format>
std::string Joined(const Items& items, std::string_view separator, Format format) {
    std::string text;
    for (const auto& item : items) {
        text += (text.empty() ? "" : std::string(separator)) + format(item);
    }
    return text;
}

std::string Label(std::string_view label) {
    std::string text(label);
    text += ':';
    text.resize(std::max(kLabelWidth, text.size() + 1), ' ');
    return text;
}

std::string FactsText(KeySession& session, const KeyFacts& facts) {
    const KeyState& state = session.State();
    std::ostringstream text;
    text << Label("key") << session.Key().nodePath << " (model " << session.Key().model << ", "
         << ProductIdText(session.Key().productId) << ")\n";
    text << Label("product name") << ProductNameText(session.Key()) << '\n';
    text << Label("firmware")
         << (facts.firmware         ? std::to_string(*facts.firmware)
             : facts.firmwareUnread ? kUnanswered
                                    : "unknown")
         << '\n';
    text << Label("PIN set") << (state.pinSet ? "yes" : "no") << '\n';
    if (facts.retries) {
        text << Label("PIN retries left") << *facts.retries << '\n';
    }
    text << Label("fingerprints") << (state.uvConfigured ? "configured" : "none") << '\n';
    text << Label("fingerprint count")
         << (facts.fingerprints    ? std::to_string(*facts.fingerprints)
             : facts.countNeedsPin ? "unknown without the PIN (give --pin-stdin or --pin-fd N)"
                                   : "unknown")
         << '\n';
    text << Label("enrollment supported") << (facts.enrollment ? "yes" : "no") << '\n';
    if (facts.managesPasskeys) {
        text << Label("passkeys")
             << (facts.passkeys ? std::to_string(facts.passkeys->existing) + " (room for " +
                                      std::to_string(facts.passkeys->remaining) + " more)"
                 : state.pinSet ? "unknown without the PIN (give --pin-stdin or --pin-fd N)"
                                : "unknown: the key tells them only under a PIN")
             << '\n';
    }
    text << Label("command set") << (facts.firmwareUnread ? kUnanswered : facts.commandSet) << '\n';
    text << Label("secure messaging")
         << (facts.firmwareUnread ? kUnanswered : facts.secureMessaging) << '\n';
    if (!facts.details) {
        return text.str();
    }
    const AuthenticatorDetails& details = *facts.details;
    const auto same = [](const std::string& word) { return TerminalSafe(word); };
    text << Label("CTAP versions") << Joined(details.versions, ", ", same) << '\n';
    text << Label("AAGUID") << (details.aaguid.empty() ? "none" : AaguidText(details.aaguid))
         << '\n';
    text << Label("options")
         << Joined(details.options, " ",
                   [](const std::pair<std::string, bool>& option) {
                       return TerminalSafe(option.first) + "=" + (option.second ? "true" : "false");
                   })
         << '\n';
    text << Label("max message size")
         << (details.maxMsgSize ? std::to_string(*details.maxMsgSize) : "not given") << '\n';
    text << Label("PIN protocols")
         << Joined(details.pinProtocols, ", ",
                   [](std::uint32_t protocol) { return std::to_string(protocol); })
         << '\n';
    return text.str();
}

}  // namespace

int RunInfoCommand(CliEnv& env, const CliOptions& options, Reporter& reporter) {
    KeySession session;
    if (const int code = session.Open(env, options, reporter); code != kExitOk) {
        return code;
    }
    // Without GetInfo the PIN, the fingerprints and enrollment support would be defaults
    // shown as facts ("PIN set: no"): a script would take an unanswering key for a blank one.
    if (const int code = session.RequireInfo(reporter); code != kExitOk) {
        return code;
    }
    // With a PIN given, the fingerprints are listed under its token, as keys that keep their
    // list to the PIN's owner require.
    const bool pinGiven = PinGiven(options);
    if (pinGiven && session.State().pinSet && AbilitiesOf(session.State()).checksPin) {
        if (const int code = VerifyPin(env, options, reporter, session); code != kExitOk) {
            return code;
        }
    } else if (pinGiven) {
        NoteUnusedPin(reporter, session);
    }
    const KeyFacts facts = ReadFacts(env, session, pinGiven);
    return reporter.Done(FactsJson(session, facts), FactsText(session, facts));
}

}  // namespace kelvora::cli
