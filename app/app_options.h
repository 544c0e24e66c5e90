// The command line of the tool: "-E" (reset the key right after start-up, in either letter
// case) and two options for trying the tool without a key:
//   --virtual MODEL     also list an in-process virtual key of that model (1-7, the
//                       position in the supported product list), plugged in at start
//   --screenshots DIR   show the main window's states on the virtual key (model 3 unless
//                       --virtual says otherwise), write a picture of each into DIR, exit
//   --screenshot FILE   the same for the first state alone: the key found with three sample
//                       fingerprints, written to FILE
//   --help, --version   print the usage or the version and exit without starting the tool
// Every other argument is ignored.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kelvora {

struct AppOptions {
    bool resetAtStart = false;
    std::optional<int> virtualModel;
    std::optional<std::string> screenshotDir;
    std::optional<std::string> screenshotFile;
    bool showHelp = false;
    bool showVersion = false;
};

// False, with `error` saying what is wrong, for a demo option without a usable value.
bool ParseAppOptions(const std::vector<std::string>& arguments, AppOptions& options,
                     std::string& error);

}  // namespace kelvora
