#include "cli/options.h"

#include <charconv>
#include <string_view>

#include "cli/credential_id_text.h"

namespace kelvora::cli {

namespace {

// A credential id in base64url begins with '-' once in 64 ids. No option has one dash and more
// than one letter, so a word that reads as a credential id of at least the shortest length
// (16 bytes) is the id 'passkeys list' showed; a mistyped option ("-json") is still unknown.
constexpr std::size_t kShortestCredentialId = 16;

bool LooksLikeCredentialId(std::string_view arg) {
    if (arg.size() < 2 || arg[1] == '-') {
        return false;
    }
    const auto id = ParseCredentialId(arg);
    return id && id->size() >= kShortestCredentialId;
}

bool ParseFd(std::string_view text, int& fd) {
    const auto* end = text.data() + text.size();
    const auto [ptr, error] = std::from_chars(text.data(), end, fd);
    return error == std::errc() && ptr == end && fd >= 0;
}

}  // namespace

bool PinGiven(const CliOptions& options) {
    return options.pin || options.newPin || options.setPin ||
           options.pinSource != PinSource::kPrompt;
}

std::string ParseOptions(const std::vector<std::string>& args, CliOptions& options) {
    bool onlyWords = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (onlyWords || arg.empty() || arg[0] != '-' || arg == "-" || LooksLikeCredentialId(arg)) {
            options.words.push_back(arg);
            continue;
        }
        if (arg == "--") {
            onlyWords = true;
            continue;
        }
        std::string name = arg;
        std::optional<std::string> inlineValue;
        if (const auto eq = arg.find('='); eq != std::string::npos && arg.starts_with("--")) {
            name = arg.substr(0, eq);
            inlineValue = arg.substr(eq + 1);
        }
        auto value = [&](std::optional<std::string>& target) -> std::string {
            if (inlineValue) {
                target = *inlineValue;
                return {};
            }
            if (i + 1 >= args.size()) {
                return name + " needs a value";
            }
            target = args[++i];
            return {};
        };
        auto flag = [&](bool& target) -> std::string {
            if (inlineValue) {
                return name + " takes no value";
            }
            target = true;
            return {};
        };
        std::string error;
        if (name == "--json") {
            error = flag(options.json);
        } else if (name == "--help" || name == "-h") {
            error = flag(options.help);
        } else if (name == "--version") {
            error = flag(options.version);
        } else if (name == "--yes" || name == "-y") {
            error = flag(options.yes);
        } else if (name == "--set-pin") {
            error = flag(options.setPin);
        } else if (name == "--fingerprint-only") {
            error = flag(options.fingerprintOnly);
        } else if (name == "--device") {
            error = value(options.device);
        } else if (name == "--virtual") {
            error = value(options.virtualModel);
        } else if (name == "--state") {
            error = value(options.stateFile);
        } else if (name == "--name") {
            error = value(options.name);
        } else if (name == "--insecure-pin-argument") {
            error = flag(options.insecurePinArgument);
        } else if (name == "--pin") {
            error = value(options.pin);
        } else if (name == "--new-pin") {
            error = value(options.newPin);
        } else if (name == "--pin-stdin") {
            bool set = false;
            error = flag(set);
            options.pinSource = PinSource::kStdin;
        } else if (name == "--pin-fd") {
            std::optional<std::string> fd;
            error = value(fd);
            if (error.empty() && !ParseFd(*fd, options.pinFd)) {
                error = "--pin-fd needs a file descriptor number, not '" + *fd + "'";
            }
            options.pinSource = PinSource::kFd;
        } else {
            error = "unknown option " + name;
        }
        if (!error.empty()) {
            return error;
        }
    }
    if ((options.pin || options.newPin) && !options.insecurePinArgument) {
        return "--pin and --new-pin show the PIN to every user of this machine (in the process "
               "list); use the prompt, --pin-stdin or --pin-fd, or add --insecure-pin-argument";
    }
    return {};
}

void WipePinArguments(int argc, char** argv) {
    auto wipe = [](char* text) {
        volatile char* p = text;
        for (; *p != '\0'; ++p) {
            *p = '\0';
        }
    };
    bool onlyWords = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--") {
            onlyWords = true;
        }
        if (onlyWords) {
            continue;
        }
        for (const std::string_view name : {"--pin", "--new-pin"}) {
            if (arg == name && i + 1 < argc) {
                wipe(argv[++i]);
            } else if (arg.size() > name.size() && arg.starts_with(name) &&
                       arg[name.size()] == '=') {
                wipe(argv[i] + name.size() + 1);
            }
        }
    }
}

void WipeString(std::string& text) {
    text.resize(text.capacity());
    volatile char* p = text.data();
    for (std::size_t i = 0; i < text.size(); ++i) {
        p[i] = '\0';
    }
    text.clear();
}

}  // namespace kelvora::cli
