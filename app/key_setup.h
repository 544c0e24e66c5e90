// What the tool talks to: the system's HID interfaces, the virtual key daemon named by
// KELVORA_VKEY (PATH[:MODEL]) when set, and with --virtual an in-process virtual key that is
// listed first. The in-process key's plug-ins and removals are broadcast to the windows as
// the system's device notifications are.
#pragma once

#include <memory>
#include <string>

#include "app/app_options.h"
#include "transport/hid_backend.h"
#include "vkey/clock.h"
#include "vkey/virtual_key.h"

namespace kelvora {

class KeySetup {
  public:
    // `warning`, when not empty afterwards, tells the user why KELVORA_VKEY was not used.
    KeySetup(const AppOptions& options, std::string& warning);
    ~KeySetup();
    KeySetup(const KeySetup&) = delete;
    KeySetup& operator=(const KeySetup&) = delete;

    HidBackend& Backend() { return *backend_; }
    // The in-process key of --virtual, nullptr without it. A control panel for it plugs in
    // here (see SetVirtualKeyPanel in startup.h).
    vkey::VirtualKey* InProcessKey() { return key_.get(); }

  private:
    vkey::SteadyClock clock_;
    std::unique_ptr<vkey::VirtualKey> key_;  // outlives the backend that lists it
    std::unique_ptr<HidBackend> backend_;
};

}  // namespace kelvora
