// The command line, parsed: the command words and the options that may appear anywhere.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kelvora::cli {

enum class PinSource { kPrompt, kStdin, kFd };

struct CliOptions {
    std::vector<std::string> words;  // command, subcommand and their arguments
    bool json = false;
    bool help = false;
    bool version = false;
    bool yes = false;  // reset: skip the confirmation question
    // fingerprints enroll on a key with neither a PIN nor a fingerprint: set a PIN first
    // (from the PIN input), or enrol without one.
    bool setPin = false;
    bool fingerprintOnly = false;
    std::optional<std::string> device;
    std::optional<std::string> virtualModel;
    std::optional<std::string> stateFile;
    std::optional<std::string> name;
    // Given on the command line, only with --insecure-pin-argument: every user of the
    // machine can read a process's arguments.
    std::optional<std::string> pin;
    std::optional<std::string> newPin;  // the same for the new PIN
    bool insecurePinArgument = false;
    PinSource pinSource = PinSource::kPrompt;
    int pinFd = -1;
};

// True when the command line gives a PIN: on the command line, from standard input or a
// descriptor, or asked for with --set-pin.
bool PinGiven(const CliOptions& options);

// Parses argv without the program name. Returns an empty string on success, otherwise the
// message for the usage error.
std::string ParseOptions(const std::vector<std::string>& args, CliOptions& options);

// Overwrites the values of --pin and --new-pin in the program's own argument strings with
// zeros, so that the process list no longer shows them (the system keeps no other copy).
void WipePinArguments(int argc, char** argv);

// Overwrites a string's whole buffer and empties it.
void WipeString(std::string& text);

}  // namespace kelvora::cli
