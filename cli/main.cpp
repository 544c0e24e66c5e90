// kelvora-fido2: builds the environment (backend, input, interrupt handling) and runs the
// command; everything else lives in the command functions.
#include <cstdlib>
#include <iostream>
#include <memory>
#include <optional>

#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/system_io.h"
#include "cli/virtual_key_setup.h"
#include "platform/command_line.h"
#include "transport/default_hid_backend.h"
#include "transport/vkey_socket_setting.h"

namespace {

// The socket KELVORA_VKEY names, or empty.
std::string VkeySocketFromEnvironment() {
    const char* text = std::getenv(kelvora::kVkeyEnvironmentVariable);
    kelvora::VkeySocketSetting setting;
    std::string error;
    if (text == nullptr || *text == '\0' ||
        !kelvora::ParseVkeySocketSetting(text, setting, error)) {
        return {};
    }
    return setting.socketPath;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace kelvora;
    using namespace kelvora::cli;

    // UTF-8 on every system: the C runtime's argv on Windows is in the ANSI code page, in
    // which a Japanese name or PIN would reach the key as other bytes.
    std::vector<std::string> args = ProgramArguments(argc, argv);
    CliOptions options;
    static std::atomic<bool> interrupted{false};
    const std::string parseError = ParseOptions(args, options);
    // The options hold what is still needed; no other copy of a PIN is left around.
    WipePinArguments(argc, argv);
    for (std::string& arg : args) {
        WipeString(arg);
    }

    std::unique_ptr<Input> input =
        options.pinSource == PinSource::kPrompt
            ? MakeTerminalInput()
            : MakeDescriptorInput(options.pinSource == PinSource::kFd ? options.pinFd : 0);
    std::unique_ptr<InProcessKey> virtualKey;
    std::unique_ptr<HidBackend> systemBackend;
    std::string setupError;
    if (parseError.empty() && options.virtualModel) {
        virtualKey = MakeInProcessKey(*options.virtualModel, options.stateFile, setupError);
    } else if (parseError.empty() && options.stateFile) {
        setupError = "--state needs --virtual";
    }
    std::string vkeyWarning;
    if (!virtualKey) {
        systemBackend = MakeDefaultHidBackend(vkeyWarning);
    }
    HidBackend& backend = virtualKey ? virtualKey->Backend() : *systemBackend;
    CliEnv env{backend, SystemClock(), std::cout, std::cerr, *input, interrupted};
    if (systemBackend && vkeyWarning.empty()) {
        env.vkeySocket = VkeySocketFromEnvironment();
    }
    Reporter reporter(env, options.json);
    if (!parseError.empty() || !setupError.empty()) {
        return reporter.Fail(kExitUsage, parseError.empty() ? setupError : parseError);
    }
    if (!vkeyWarning.empty()) {
        reporter.Note("warning: " + vkeyWarning);
    }

    // An enrollment is cancelled on the key before the program ends; everything else just
    // stops waiting.
    const bool enrolling = options.words.size() >= 2 && options.words[0] == "fingerprints" &&
                           options.words[1] == "enroll";
    InstallInterruptHandler(interrupted, !enrolling);

    const int code = RunCli(env, options);
    for (auto* pin : {&options.pin, &options.newPin}) {
        if (*pin) {
            WipeString(**pin);
        }
    }
    if (virtualKey && !virtualKey->Save(setupError)) {
        reporter.Note("warning: " + setupError);
    }
    return code;
}
