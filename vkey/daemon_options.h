// Command line of kelvora-vkey:
//   kelvora-vkey [--socket PATH] [--model 1-7] [--firmware N] [--pin-file FILE|-]
//                [--auto-touch MS] [--stranger] [--state FILE] [--reset-window MS]
//                [--hostile MODE] [--passkeys N] [--ctap21]
// --hostile makes every answer misbehave in one way (see vkey/hostile.h for the modes).
// The starting PIN is read from a file or standard input ("-"), never taken from the command
// line, where every user of the machine could read it.
// --passkeys starts a key whose state holds none with N sample passkeys (up to the model's
// capacity); --ctap21 makes the key report CTAP 2.1 and take credential management as 0x0A.
// --reset-window shortens the plug-in window for reset (10000 ms), for tests of the refusal.
#pragma once

#include <istream>
#include <optional>
#include <string>
#include <vector>

#include "vkey/config.h"
#include "vkey/sensor.h"

namespace kelvora::vkey {

struct DaemonOptions {
    std::string socketPath;
    Config config;
    std::optional<std::string> pinFile;  // "-" for standard input
    std::optional<AutoTouch> autoTouch;
    std::optional<std::string> statePath;
    std::size_t passkeys = 0;
};

// Reads the starting PIN: the first line of `in`, without its line end. False, with
// `error` set, when there is none or it does not have 4 to 63 bytes.
bool ReadDaemonPin(std::istream& in, std::string& pin, std::string& error);

// The socket's place without --socket: $XDG_RUNTIME_DIR/kelvora-vkey.sock, a folder of the
// user's own. Empty when `runtimeDir` (the variable's value) is unset or not absolute.
std::string DefaultSocketPath(const char* runtimeDir);

// Parses the arguments after the program name; on failure returns nullopt and sets `error`.
// Without --socket the daemon listens at `defaultSocketPath`, and needs --socket when that is
// empty.
std::optional<DaemonOptions> ParseDaemonOptions(const std::vector<std::string>& args,
                                                std::string& error,
                                                const std::string& defaultSocketPath = {});

}  // namespace kelvora::vkey
