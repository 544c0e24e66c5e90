// Everything a command talks to, handed in by main (or by a test): the key backend, the clock,
// the output streams, where PINs and answers come from, and the interrupt flag. Commands
// never reach for globals, so tests run them in-process against a virtual key.
#pragma once

#include <atomic>
#include <ctime>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "ctap/fingerprint_name.h"
#include "platform/clock.h"
#include "platform/debug_output.h"
#include "platform/elevation.h"
#include "transport/hid_backend.h"

namespace kelvora::cli {

// Where PINs and confirmations are read from: a terminal prompt, standard input or a file
// descriptor.
class Input {
  public:
    virtual ~Input() = default;
    // One line without its line ending; nullopt at the end of the input (or on an
    // interrupt). `secret` asks a terminal not to echo.
    virtual std::optional<std::string> ReadLine(std::string_view prompt, bool secret) = 0;
};

// Breaks a time down in the zone the user reads times in.
using LocalTimeFunction = std::function<std::tm(std::time_t)>;

// The system's local time zone.
LocalTimeFunction SystemLocalTime();

struct CliEnv {
    HidBackend& backend;
    Clock& clock;
    std::ostream& out;
    std::ostream& err;
    Input& input;
    // Set by Ctrl-C; long operations check it between exchanges.
    const std::atomic<bool>& interrupted;
    WallClock wallClock = SystemWallClock();
    LocalTimeFunction localTime = SystemLocalTime();
    DebugOutput& debug = SystemDebugOutput();
    // How long reset waits for the key to be re-plugged.
    std::uint32_t replugTimeoutMs = 60000;
    // The socket KELVORA_VKEY names; empty when it names none. A daemon that is not
    // listening there is reported as such, not as a missing key.
    std::string vkeySocket{};
    // Whether administrator rights open keys here and are held: a key that cannot be opened
    // is explained by them.
    Elevation& elevation = SystemElevation();
};

}  // namespace kelvora::cli
