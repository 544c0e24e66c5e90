#include "vkey/daemon_options.h"

#include <charconv>
#include <string>

namespace kelvora::vkey {
namespace {

constexpr std::size_t kMinPinLength = 4;
constexpr std::size_t kMaxPinLength = 63;
constexpr long kMaxFirmware = 255;
constexpr long kMaxMilliseconds = 3600000;

bool ParseNumber(const std::string& text, long low, long high, long& value) {
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end && value >= low && value <= high;
}

}  // namespace

bool ReadDaemonPin(std::istream& in, std::string& pin, std::string& error) {
    if (!std::getline(in, pin)) {
        error = "no PIN in the PIN file";
        return false;
    }
    if (!pin.empty() && pin.back() == '\r') {
        pin.pop_back();
    }
    if (pin.size() < kMinPinLength || pin.size() > kMaxPinLength) {
        error = "the PIN must have 4 to 63 bytes";
        return false;
    }
    return true;
}

std::string DefaultSocketPath(const char* runtimeDir) {
    if (runtimeDir == nullptr || *runtimeDir != '/') {
        return {};
    }
    return std::string(runtimeDir) + "/kelvora-vkey.sock";
}

std::optional<DaemonOptions> ParseDaemonOptions(const std::vector<std::string>& args,
                                                std::string& error,
                                                const std::string& defaultSocketPath) {
    DaemonOptions options;
    bool stranger = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& name = args[i];
        if (name == "--stranger") {
            stranger = true;
            continue;
        }
        if (name == "--ctap21") {
            options.config.reportsCtap21 = true;
            continue;
        }
        if (i + 1 >= args.size()) {
            error = "missing value after " + name;
            return std::nullopt;
        }
        const std::string& value = args[++i];
        long number = 0;
        if (name == "--socket") {
            options.socketPath = value;
        } else if (name == "--model") {
            if (!ParseNumber(value, 1, static_cast<long>(kSupportedProducts.size()), number)) {
                error = "--model takes 1 to 7";
                return std::nullopt;
            }
            options.config.model = static_cast<int>(number);
        } else if (name == "--firmware") {
            if (!ParseNumber(value, 0, kMaxFirmware, number)) {
                error = "--firmware takes 0 to 255";
                return std::nullopt;
            }
            options.config.firmware = static_cast<std::uint8_t>(number);
        } else if (name == "--pin-file") {
            options.pinFile = value;
        } else if (name == "--auto-touch") {
            if (!ParseNumber(value, 0, kMaxMilliseconds, number)) {
                error = "--auto-touch takes milliseconds";
                return std::nullopt;
            }
            options.autoTouch = AutoTouch{number, false};
        } else if (name == "--state") {
            options.statePath = value;
        } else if (name == "--reset-window") {
            if (!ParseNumber(value, 0, kMaxMilliseconds, number)) {
                error = "--reset-window takes milliseconds";
                return std::nullopt;
            }
            options.config.resetWindowMs = number;
        } else if (name == "--passkeys") {
            constexpr long kMostPasskeys = 1000;
            if (!ParseNumber(value, 0, kMostPasskeys, number)) {
                error = "--passkeys takes 0 to the model's capacity";
                return std::nullopt;
            }
            options.passkeys = static_cast<std::size_t>(number);
        } else if (name == "--hostile") {
            const std::optional<Hostility> hostility = HostilityFromName(value);
            if (!hostility) {
                error =
                    "--hostile takes none, length-beyond-message, truncated, wrong-cbor-types, "
                    "bad-key-agreement, odd-token, endless-keepalive, silent, "
                    "error-mid-message or bad-counts";
                return std::nullopt;
            }
            options.config.hostility = *hostility;
        } else {
            error = "unknown option " + name;
            return std::nullopt;
        }
    }
    if (options.socketPath.empty()) {
        options.socketPath = defaultSocketPath;
    }
    if (options.socketPath.empty()) {
        error = "--socket PATH is required when XDG_RUNTIME_DIR is not set";
        return std::nullopt;
    }
    if (options.passkeys > options.config.passkeyCapacity()) {
        error = "--passkeys takes 0 to " + std::to_string(options.config.passkeyCapacity()) +
                " for model " + std::to_string(options.config.model);
        return std::nullopt;
    }
    if (stranger) {
        if (!options.autoTouch) {
            error = "--stranger needs --auto-touch";
            return std::nullopt;
        }
        options.autoTouch->stranger = true;
    }
    return options;
}

}  // namespace kelvora::vkey
