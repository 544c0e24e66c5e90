#include "transport/vkey_socket_setting.h"

#include <algorithm>
#include <cctype>
#include <utility>

#include "transport/device_ids.h"

namespace kelvora {
namespace {

constexpr char kModelSeparator = ':';
constexpr std::size_t kMaxModelDigits = 2;  // enough to tell "07" from "70"

std::string Quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

}  // namespace

std::uint16_t VkeySocketSetting::productId() const {
    return kSupportedProducts[static_cast<std::size_t>(model - 1)];
}

bool ParseVkeySocketSetting(std::string_view text, VkeySocketSetting& setting, std::string& error) {
    const std::string usage = std::string(kVkeyEnvironmentVariable) + "=" + Quoted(text) + ": ";
    VkeySocketSetting parsed;
    std::string_view path = text;
    const std::size_t separator = text.rfind(kModelSeparator);
    if (separator != std::string_view::npos) {
        path = text.substr(0, separator);
        const std::string_view model = text.substr(separator + 1);
        const bool digits = !model.empty() && model.size() <= kMaxModelDigits &&
                            std::all_of(model.begin(), model.end(), [](char c) {
                                return std::isdigit(static_cast<unsigned char>(c)) != 0;
                            });
        const int value = digits ? std::stoi(std::string(model)) : 0;
        if (value < 1 || value > static_cast<int>(kSupportedProducts.size())) {
            error = usage + "the model after the last ':' must be a number from 1 to " +
                    std::to_string(kSupportedProducts.size()) + ", not " + Quoted(model) +
                    " (expected PATH[:MODEL])";
            return false;
        }
        parsed.model = value;
    }
    if (path.empty()) {
        error = usage + "no socket path (expected PATH[:MODEL])";
        return false;
    }
    parsed.socketPath = std::string(path);
    setting = std::move(parsed);
    return true;
}

}  // namespace kelvora
