// `list`.
#include <sstream>

#include "cli/commands.h"
#include "cli/key_session.h"

namespace kelvora::cli {

namespace {

Json OptionalNumber(const std::optional<int>& value) {
    return value ? Json(*value) : Json();
}

}  // namespace

int RunListCommand(CliEnv& env, const CliOptions& options, Reporter& reporter) {
    const std::vector<FoundKey> keys = SelectKeys(FindKeys(env.backend), options);
    Json array = Json::array();
    std::ostringstream text;
    for (const auto& key : keys) {
        std::optional<int> firmware;
        std::string problem;
        bool accessDenied = key.accessDenied;
        if (key.accessDenied) {
            problem = AccessDeniedMessage(key, env.elevation);
        } else {
            KeySession session;
            if (session.OpenKey(env, env.backend, key)) {
                firmware = session.Firmware();
            } else {
                accessDenied = session.State().deviceAccessDenied;
                problem = accessDenied                     ? AccessDeniedMessage(key, env.elevation)
                          : key.nodePath == env.vkeySocket ? NoDaemonMessage(key.nodePath)
                                                           : "the key could not be opened";
            }
        }
        array.push_back(Json{
            {"path", key.nodePath},
            {"model", key.model > 0 ? Json(key.model) : Json()},
            {"productId", key.productId != 0 ? Json(ProductIdText(key.productId)) : Json()},
            {"productName", key.productNameProblem.empty() ? Json(key.productName) : Json()},
            {"firmware", OptionalNumber(firmware)},
            {"accessDenied", accessDenied},
            {"problem", problem.empty() ? Json() : Json(problem)},
        });

        text << key.nodePath;
        if (key.model > 0) {
            text << "  model " << key.model << " (" << ProductIdText(key.productId) << ")";
        }
        if (const std::string name = ProductNameText(key); !name.empty()) {
            text << "  " << name;
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
        if (!env.vkeySocket.empty()) {
            text << NoDaemonMessage(env.vkeySocket) << '\n';
        }
    }
    return reporter.Done({{"keys", std::move(array)}}, text.str());
}

}  // namespace kelvora::cli
