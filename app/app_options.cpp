#include "app/app_options.h"

#include "platform/command_line.h"
#include "transport/device_ids.h"

namespace kelvora {
namespace {

constexpr int kScreenshotModel = 3;

std::optional<int> ParseModel(const std::string& text) {
    if (text.size() != 1 || text[0] < '1' || text[0] > '9') {
        return std::nullopt;
    }
    const int model = text[0] - '0';
    if (model > static_cast<int>(kSupportedProducts.size())) {
        return std::nullopt;
    }
    return model;
}

}  // namespace

bool ParseAppOptions(const std::vector<std::string>& arguments, AppOptions& options,
                     std::string& error) {
    options = AppOptions{};
    options.resetAtStart = HasResetOption(arguments);
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--help") {
            options.showHelp = true;
            continue;
        }
        if (argument == "--version") {
            options.showVersion = true;
            continue;
        }
        if (argument != "--virtual" && argument != "--screenshots" && argument != "--screenshot") {
            continue;
        }
        if (i + 1 >= arguments.size()) {
            error = argument + " needs a value";
            return false;
        }
        const std::string& value = arguments[++i];
        if (argument == "--virtual") {
            options.virtualModel = ParseModel(value);
            if (!options.virtualModel) {
                error = "--virtual takes a model number from 1 to " +
                        std::to_string(kSupportedProducts.size()) + ", not \"" + value + "\"";
                return false;
            }
        } else if (value.empty()) {
            error = argument == "--screenshots" ? "--screenshots needs a folder"
                                                : "--screenshot needs a file name";
            return false;
        } else {
            (argument == "--screenshots" ? options.screenshotDir : options.screenshotFile) = value;
        }
    }
    if ((options.screenshotDir || options.screenshotFile) && !options.virtualModel) {
        options.virtualModel = kScreenshotModel;
    }
    return true;
}

}  // namespace kelvora
