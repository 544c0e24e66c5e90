// `list` and `info`.
#include <sstream>

#include "cli/commands.h"
#include "cli/firmware_query.h"
#include "cli/key_session.h"
#include "ctap/client_pin.h"

namespace kelvora::cli {

namespace {

std::string Hex4(std::uint16_t value) {
    char text[8];
    // The buffer holds any output, so the count needs no check.
    static_cast<void>(std::snprintf(text, sizeof text, "%04x", value));
    return text;
}

Json OptionalNumber(const std::optional<int>& value) {
    return value ? Json(*value) : Json();
}

}  // namespace

int RunListCommand(CliEnv& env, const CliOptions& options, Reporter& reporter) {
    const std::vector<FoundKey> keys = SelectKeys(FindKeys(env.backend), options);
    Json array = Json::Array();
    std::ostringstream text;
    for (const auto& key : keys) {
        std::optional<int> firmware;
        std::string problem;
        bool accessDenied = key.accessDenied;
        if (key.accessDenied) {
            problem = AccessDeniedMessage(key);
        } else {
            KeySession session;
            if (session.OpenKey(env, env.backend, key)) {
                firmware = ReadFirmwareByte(session.Device(), key.productId);
            } else {
                accessDenied = session.State().deviceAccessDenied;
                problem = accessDenied ? AccessDeniedMessage(key) : "the key could not be opened";
            }
        }
        Json entry = Json::Object();
        entry.Set("path", key.nodePath);
        entry.Set("model", key.model > 0 ? Json(key.model) : Json());
        entry.Set("productId", key.productId != 0 ? Json(Hex4(key.productId)) : Json());
        entry.Set("productName", key.productName);
        entry.Set("firmware", OptionalNumber(firmware));
        entry.Set("accessDenied", accessDenied);
        entry.Set("problem", problem.empty() ? Json() : Json(problem));
        array.Push(std::move(entry));

        text << key.nodePath;
        if (key.model > 0) {
            text << "  model " << key.model << " (" << Hex4(key.productId) << ")";
        }
        if (!key.productName.empty()) {
            text << "  " << key.productName;
        }
        if (firmware) {
            text << "  firmware " << *firmware;
        }
        if (!problem.empty()) {
            text << "\n  problem: " << problem;
        }
        text << '\n';
    }
    if (keys.empty()) {
        text << "no supported key found\n";
    }
    Json result = Json::Object();
    result.Set("keys", std::move(array));
    return reporter.Done(result, text.str());
}

int RunInfoCommand(CliEnv& env, const CliOptions& options, Reporter& reporter) {
    KeySession session;
    if (const int code = session.Open(env, options, reporter); code != kExitOk) {
        return code;
    }
    const KeyState& state = session.State();
    const bool legacy = session.Legacy();
    std::optional<int> retries;
    if (!legacy && state.pinSet) {
        if (const std::optional<std::uint32_t> count = GetPinRetries(session.Device())) {
            retries = static_cast<int>(*count);
        }
    }
    const std::optional<int> firmware = ReadFirmwareByte(session.Device(), session.Key().productId);
    const char* commandSet = legacy ? "legacy" : state.vendorCommandSet ? "vendor" : "standard";
    const char* secureMessaging = session.Device().SecureMessagingAes() ? "aes" : "des";

    Json result = Json::Object();
    result.Set("path", session.Key().nodePath);
    result.Set("model", session.Key().model);
    result.Set("productId", Hex4(session.Key().productId));
    result.Set("firmware", OptionalNumber(firmware));
    result.Set("pinSet", state.pinSet.load());
    result.Set("pinRetries", OptionalNumber(retries));
    result.Set("fingerprintsConfigured", state.uvConfigured.load());
    result.Set("enrollmentSupported", legacy || state.bioEnrollmentSupported.load());
    result.Set("commandSet", commandSet);
    result.Set("secureMessaging", secureMessaging);

    std::ostringstream text;
    text << "key:                  " << session.Key().nodePath << " (model " << session.Key().model
         << ", " << Hex4(session.Key().productId) << ")\n";
    text << "firmware:             " << (firmware ? std::to_string(*firmware) : "unknown") << '\n';
    text << "PIN set:              " << (state.pinSet ? "yes" : "no") << '\n';
    if (retries) {
        text << "PIN retries left:     " << *retries << '\n';
    }
    text << "fingerprints:         " << (state.uvConfigured ? "configured" : "none") << '\n';
    text << "enrollment supported: " << (legacy || state.bioEnrollmentSupported ? "yes" : "no")
         << '\n';
    text << "command set:          " << commandSet << '\n';
    text << "secure messaging:     " << secureMessaging << '\n';
    return reporter.Done(result, text.str());
}

}  // namespace kelvora::cli
