#include "transport/default_hid_backend.h"

#include <cstdlib>
#include <vector>

#include "transport/composite_hid_backend.h"
#include "transport/vkey_socket_backend.h"
#include "transport/vkey_socket_setting.h"

namespace kelvora {

std::unique_ptr<HidBackend> MakeDefaultHidBackend(std::string& error) {
    const char* setting = std::getenv(kVkeyEnvironmentVariable);
    return MakeHidBackendForSetting(setting, MakeSystemHidBackend(), error);
}

std::unique_ptr<HidBackend> MakeHidBackendForSetting(const char* setting,
                                                     std::unique_ptr<HidBackend> system,
                                                     std::string& error) {
    error.clear();
    if (setting == nullptr || *setting == '\0') {
        return system;
    }
    VkeySocketSetting parsed;
    if (!ParseVkeySocketSetting(setting, parsed, error)) {
        return system;
    }
    std::unique_ptr<HidBackend> virtualKey = MakeVkeySocketBackend(parsed, error);
    if (!virtualKey) {
        return system;
    }
    std::vector<std::unique_ptr<HidBackend>> backends;
    backends.push_back(std::move(virtualKey));
    backends.push_back(std::move(system));
    return std::make_unique<CompositeHidBackend>(std::move(backends));
}

}  // namespace kelvora
