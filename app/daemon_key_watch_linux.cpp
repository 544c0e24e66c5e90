#include "app/daemon_key_watch_linux.h"

#include <sys/stat.h>

#include "toolkit/window_registry.h"
#include "transport/device_ids.h"
#include "transport/hid_device_info.h"
#include "transport/vkey_socket_setting.h"

namespace kelvora {

std::optional<SocketIdentity> LookAtSocket(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0 || !S_ISSOCK(status.st_mode)) {
        return std::nullopt;
    }
    return SocketIdentity{static_cast<std::uint64_t>(status.st_dev),
                          static_cast<std::uint64_t>(status.st_ino),
                          static_cast<std::int64_t>(status.st_ctim.tv_sec),
                          static_cast<std::int64_t>(status.st_ctim.tv_nsec)};
}

std::vector<DaemonChange> DaemonChanges(const std::optional<SocketIdentity>& before,
                                        const std::optional<SocketIdentity>& now) {
    if (before == now) {
        return {};
    }
    std::vector<DaemonChange> changes;
    if (before) {
        changes.push_back(DaemonChange::kRemoval);
    }
    if (now) {
        changes.push_back(DaemonChange::kArrival);
    }
    return changes;
}

DaemonKeyWatcher::DaemonKeyWatcher(std::string socketPath, std::string interfacePath, Notify notify)
    : socketPath_(std::move(socketPath)),
      interfacePath_(std::move(interfacePath)),
      notify_(std::move(notify)),
      last_(LookAtSocket(socketPath_)) {
    connect(&timer_, &QTimer::timeout, this, [this] { Poll(); });
    timer_.start(kPollMs);
}

void DaemonKeyWatcher::Poll() {
    const std::optional<SocketIdentity> now = LookAtSocket(socketPath_);
    const std::vector<DaemonChange> changes = DaemonChanges(last_, now);
    last_ = now;
    for (const DaemonChange change : changes) {
        notify_(change, interfacePath_);
    }
}

std::unique_ptr<DaemonKeyWatch> WatchDaemonKey(const char* setting) {
    VkeySocketSetting parsed;
    std::string error;
    if (setting == nullptr || *setting == '\0' || !ParseVkeySocketSetting(setting, parsed, error)) {
        return nullptr;
    }
    // The path the daemon's key is listed with: the main window looks for its product digits.
    const std::string interfacePath =
        parsed.socketPath + '#' + InterfaceIdentity(kMakerVendorId, parsed.productId());
    return std::make_unique<DaemonKeyWatcher>(
        parsed.socketPath, interfacePath, [](DaemonChange change, const std::string& path) {
            BroadcastDeviceChange(
                change == DaemonChange::kArrival ? kDbtDeviceArrival : kDbtDeviceRemoveComplete,
                DeviceBroadcast{kDbtDevtypDeviceInterface, std::wstring(path.begin(), path.end())});
        });
}

}  // namespace kelvora
