// A virtual key daemon (KELVORA_VKEY) is no USB device: the system says nothing when its
// socket comes or goes. Where daemons exist, a watch tells the windows instead, with the
// same device notifications a key plugged in or pulled out gives.
#pragma once

#include <memory>

namespace kelvora {

class DaemonKeyWatch {
  public:
    virtual ~DaemonKeyWatch() = default;
};

// A watch for the KELVORA_VKEY setting `setting` (UI thread, once the application object
// exists); null when the setting names no usable daemon socket or the platform has none.
std::unique_ptr<DaemonKeyWatch> WatchDaemonKey(const char* setting);

}  // namespace kelvora
