#include "cli/commands.h"

namespace kelvora::cli {

namespace {

constexpr std::string_view kLiteralPinWarning =
    "warning: a PIN given on the command line can be read by other users and stays in the "
    "shell history; prefer the prompt, --pin-stdin or --pin-fd";

}  // namespace

int RunCli(CliEnv& env, const CliOptions& options) {
    Reporter reporter(env, options.json);
    if (options.version) {
        env.out << VersionText();
        return kExitOk;
    }
    if (options.help) {
        const std::string help = HelpText(options.words);
        if (help.empty()) {
            return reporter.Fail(kExitUsage, "no help for an unknown command");
        }
        env.out << help;
        return kExitOk;
    }
    if (options.words.empty()) {
        env.err << HelpText({});
        return kExitUsage;
    }
    if (options.pin || options.newPin) {
        reporter.Note(kLiteralPinWarning);
    }
    const std::string& command = options.words.front();
    if (command == "help") {
        const std::vector<std::string> topic(options.words.begin() + 1, options.words.end());
        const std::string help = HelpText(topic);
        if (help.empty()) {
            return reporter.Fail(kExitUsage, "no help for an unknown command");
        }
        env.out << help;
        return kExitOk;
    }
    if (command == "list" || command == "info") {
        if (options.words.size() > 1) {
            return reporter.Fail(kExitUsage, command + " takes no arguments");
        }
        return command == "list" ? RunListCommand(env, options, reporter)
                                 : RunInfoCommand(env, options, reporter);
    }
    if (command == "pin") {
        return RunPinCommand(env, options, reporter);
    }
    if (command == "fingerprints") {
        return RunFingerprintsCommand(env, options, reporter);
    }
    if (command == "passkeys") {
        return RunPasskeysCommand(env, options, reporter);
    }
    if (command == "reset") {
        return RunResetCommand(env, options, reporter);
    }
    return reporter.Fail(kExitUsage, "unknown command '" + command + "'; see --help");
}

}  // namespace kelvora::cli
