// Command line of kelvora-vkey:
//   kelvora-vkey --socket PATH [--model 1-7] [--firmware N] [--pin PIN]
//                [--auto-touch MS] [--stranger] [--state FILE] [--reset-window MS]
//                [--hostile MODE]
// --hostile makes every answer misbehave in one way (see vkey/hostile.h for the modes).
// --reset-window shortens the plug-in window for reset (10000 ms), for tests of the refusal.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "vkey/config.h"
#include "vkey/sensor.h"

namespace kelvora::vkey {

struct DaemonOptions {
    std::string socketPath;
    Config config;
    std::optional<std::string> pin;
    std::optional<AutoTouch> autoTouch;
    std::optional<std::string> statePath;
};

// Parses the arguments after the program name; on failure returns nullopt and sets `error`.
std::optional<DaemonOptions> ParseDaemonOptions(const std::vector<std::string>& args,
                                                std::string& error);

}  // namespace kelvora::vkey
