// The client's HID seam over in-process virtual keys: each key that is plugged in is listed
// as one interface of the maker, and a connection carries 65-byte reports (report id 0, then
// the 64-byte CTAPHID packet) to and from it.
//
// Removal behaves as with a real device: unplugging a key makes the reads and writes of its
// connections fail at once (a blocked Read wakes up), and they keep failing after the key is
// plugged in again; discovery then lists the key afresh and a new connection is needed.
// Plug-ins and removals are also reported to a device-change observer, with the interface
// path, as the operating system reports device-interface arrivals and removals.
//
// The one file of the virtual key that knows the client's transport; the key itself does not.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "transport/hid_backend.h"
#include "vkey/virtual_key.h"

namespace kelvora::vkey {

enum class DeviceChange { kArrived, kRemoved };

// Called on the thread that plugged or unplugged the key — for a removal armed with
// VirtualKey::UnplugBeforeRequest, the host thread whose write set it off, which may be a
// worker: hand the change to the user-interface thread rather than touching windows here.
// Must not plug or unplug a key.
using DeviceChangeObserver =
    std::function<void(const std::string& interfacePath, DeviceChange change)>;

struct VirtualInterfaceOptions {
    // The product string; empty means a name derived from the model.
    std::string productName;
    // Listed, but Open() is refused as if this process lacked the rights.
    bool unopenable = false;
    // The interface path; empty means "virtual/keyN#vid_...". Tests give other systems'
    // forms here (a SetupAPI device path).
    std::string path;
    // A read that waits for an answer times out at once instead of after its time in real
    // time, so that a host on a test clock meets a silent key without waiting for it.
    bool timeoutsAtOnce = false;
};

class VirtualHidBackend final : public HidBackend {
  public:
    VirtualHidBackend() = default;
    ~VirtualHidBackend() override;
    VirtualHidBackend(const VirtualHidBackend&) = delete;
    VirtualHidBackend& operator=(const VirtualHidBackend&) = delete;

    // Attaches `key` (which must outlive the backend) and returns its interface path. The
    // key is listed while it is plugged in; attaching does not plug it.
    std::string AddKey(VirtualKey& key, VirtualInterfaceOptions options = {});

    void SetDeviceChangeObserver(DeviceChangeObserver observer);

    std::vector<HidInterfaceInfo> Enumerate() override;
    HidOpenResult Open(const HidInterfaceInfo& info) override;

  private:
    struct Slot {
        VirtualKey* key = nullptr;
        VirtualInterfaceOptions options;
        std::string path;
        int observerId = 0;
    };

    void ReportChange(const std::string& path, bool plugged);

    std::mutex mutex_;  // guards slots_ and observer_
    std::vector<std::unique_ptr<Slot>> slots_;
    DeviceChangeObserver observer_;
};

}  // namespace kelvora::vkey
