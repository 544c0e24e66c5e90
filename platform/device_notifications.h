// Arrival and removal of device interfaces, as the system reports them, with the interface
// path. Windows: USB device interfaces through RegisterDeviceNotificationW on a hidden
// window of the watcher's own thread (paths like "\\?\USB#VID_4B56&PID_2B03#..."). Linux:
// hidraw nodes through a udev monitor, with the identity text of the HID discovery appended
// ("/dev/hidraw3#vid_4b56&pid_2B03", see hidraw_path.h), so that one test on the product
// digits serves both.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace kelvora {

enum class DeviceChangeKind { kArrival, kRemoval };

// Called on the watcher's own thread, never concurrently with itself.
using DeviceChangeHandler = std::function<void(DeviceChangeKind kind, const std::string& path)>;

class DeviceInterfaceWatcher {
  public:
    // Stops the watcher; no call of the handler is in progress or follows once it returns.
    virtual ~DeviceInterfaceWatcher() = default;
};

// Starts watching; nullptr when the system offers no notifications (no udev, for example),
// in which case the tool learns of keys only when it looks for them.
std::unique_ptr<DeviceInterfaceWatcher> WatchDeviceInterfaces(DeviceChangeHandler handler);

}  // namespace kelvora
