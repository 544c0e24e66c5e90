#include <libudev.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

#include "platform/device_notifications.h"
#include "platform/hidraw_path.h"

namespace kelvora {
namespace {

constexpr const char* kSubsystem = "hidraw";

class UdevWatcher final : public DeviceInterfaceWatcher {
  public:
    UdevWatcher(udev* context, udev_monitor* monitor, int stopFd, DeviceChangeHandler handler)
        : context_(context), monitor_(monitor), stopFd_(stopFd), handler_(std::move(handler)) {
        thread_ = std::thread([this] { Run(); });
    }

    ~UdevWatcher() override {
        const std::uint64_t one = 1;
        // An eventfd takes the 8 bytes whole or not at all; only a signal makes it fail, and
        // the watcher thread must be told or the join below waits for ever.
        while (::write(stopFd_, &one, sizeof one) < 0 && errno == EINTR) {
        }
        thread_.join();
        (void)::close(stopFd_);
        udev_monitor_unref(monitor_);
        udev_unref(context_);
    }

    UdevWatcher(const UdevWatcher&) = delete;
    UdevWatcher& operator=(const UdevWatcher&) = delete;

  private:
    void Run() {
        pollfd fds[2] = {{udev_monitor_get_fd(monitor_), POLLIN, 0}, {stopFd_, POLLIN, 0}};
        for (;;) {
            if (::poll(fds, 2, -1) < 0) {
                continue;  // EINTR
            }
            if ((fds[1].revents & POLLIN) != 0) {
                return;
            }
            if ((fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) {
                return;  // the monitor socket broke: no more notifications
            }
            if ((fds[0].revents & POLLIN) != 0) {
                Receive();
            }
        }
    }

    void Receive() {
        udev_device* device = udev_monitor_receive_device(monitor_);
        if (device == nullptr) {
            return;
        }
        const char* action = udev_device_get_action(device);
        const char* node = udev_device_get_devnode(device);
        const char* devpath = udev_device_get_devpath(device);
        if (action != nullptr && node != nullptr && devpath != nullptr) {
            const bool added = std::strcmp(action, "add") == 0;
            const bool removed = std::strcmp(action, "remove") == 0;
            if (added || removed) {
                handler_(added ? DeviceChangeKind::kArrival : DeviceChangeKind::kRemoval,
                         HidrawInterfacePath(node, devpath));
            }
        }
        udev_device_unref(device);
    }

    udev* context_;
    udev_monitor* monitor_;
    int stopFd_;
    DeviceChangeHandler handler_;
    std::thread thread_;
};

}  // namespace

std::unique_ptr<DeviceInterfaceWatcher> WatchDeviceInterfaces(DeviceChangeHandler handler) {
    udev* context = udev_new();
    if (context == nullptr) {
        return nullptr;
    }
    udev_monitor* monitor = udev_monitor_new_from_netlink(context, "udev");
    if (monitor == nullptr) {
        udev_unref(context);
        return nullptr;
    }
    const int stopFd = ::eventfd(0, EFD_CLOEXEC);
    if (stopFd < 0 ||
        udev_monitor_filter_add_match_subsystem_devtype(monitor, kSubsystem, nullptr) < 0 ||
        udev_monitor_enable_receiving(monitor) < 0) {
        if (stopFd >= 0) {
            (void)::close(stopFd);
        }
        udev_monitor_unref(monitor);
        udev_unref(context);
        return nullptr;
    }
    return std::make_unique<UdevWatcher>(context, monitor, stopFd, std::move(handler));
}

}  // namespace kelvora
