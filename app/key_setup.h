// What the tool talks to: the system's HID interfaces, the virtual key daemon named by
// KELVORA_VKEY (PATH[:MODEL]) when set, and with --virtual an in-process virtual key that is
// listed first. The in-process key's plug-ins and removals are broadcast to the windows as
// the system's device notifications are.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/app_options.h"
#include "transport/hid_backend.h"
#include "vkey/clock.h"
#include "vkey/config.h"
#include "vkey/virtual_key.h"

namespace kelvora {
namespace vkey {
class VirtualHidBackend;
}

class KeySetup {
  public:
    // `warning`, when not empty afterwards, tells the user why KELVORA_VKEY was not used.
    KeySetup(const AppOptions& options, std::string& warning);
    ~KeySetup();
    KeySetup(const KeySetup&) = delete;
    KeySetup& operator=(const KeySetup&) = delete;

    HidBackend& Backend() { return *backend_; }
    // The in-process key of --virtual (the latest one after a replacement), nullptr without
    // it. A control panel for it plugs in through SetVirtualKeyPanel in startup.h.
    vkey::VirtualKey* InProcessKey() { return keys_.empty() ? nullptr : keys_.back().get(); }

    // Unplugs the in-process key and plugs in a new, blank one of `config` in its place, as
    // a user swaps keys; the windows learn of both through the device broadcasts. Returns
    // the new key; nullptr (and nothing changes) without --virtual or for an invalid config.
    vkey::VirtualKey* ReplaceInProcessKey(const vkey::Config& config);

    // Whether the in-process key answers every wait for a finger by itself after a short
    // delay, so that a demo can be clicked through; on at first, kept for replacements.
    void SetAutoTouch(bool on);
    bool autoTouch() const { return autoTouch_; }

  private:
    vkey::VirtualKey& PlugNewKey(const vkey::Config& config);

    vkey::SteadyClock clock_;
    // Every in-process key of the run: a replaced key stays attached to the backend (which
    // holds on to it until it is destroyed), so it must outlive the backend.
    std::vector<std::unique_ptr<vkey::VirtualKey>> keys_;
    vkey::VirtualHidBackend* inProcess_ = nullptr;  // owned by backend_
    std::unique_ptr<HidBackend> backend_;
    bool autoTouch_ = true;
};

}  // namespace kelvora
