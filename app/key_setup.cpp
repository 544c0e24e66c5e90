#include "app/key_setup.h"

#include <vector>

#include "toolkit/window_registry.h"
#include "transport/composite_hid_backend.h"
#include "transport/default_hid_backend.h"
#include "vkey/virtual_hid_backend.h"

namespace kelvora {
namespace {

// A demo has no sensor: every wait for a finger is answered after this long.
constexpr std::int64_t kDemoTouchDelayMs = 800;

void Broadcast(const std::string& path, vkey::DeviceChange change) {
    // Interface paths are ASCII.
    BroadcastDeviceChange(
        change == vkey::DeviceChange::kArrived ? kDbtDeviceArrival : kDbtDeviceRemoveComplete,
        DeviceBroadcast{kDbtDevtypDeviceInterface, std::wstring(path.begin(), path.end())});
}

}  // namespace

KeySetup::KeySetup(const AppOptions& options, std::string& warning) {
    std::unique_ptr<HidBackend> system = MakeDefaultHidBackend(warning);
    if (!options.virtualModel) {
        backend_ = std::move(system);
        return;
    }
    vkey::Config config;
    config.model = *options.virtualModel;
    key_ = std::make_unique<vkey::VirtualKey>(config, clock_);
    key_->SetAutoTouch(vkey::AutoTouch{kDemoTouchDelayMs, false});
    auto inProcess = std::make_unique<vkey::VirtualHidBackend>();
    inProcess->AddKey(*key_);
    inProcess->SetDeviceChangeObserver(&Broadcast);
    std::vector<std::unique_ptr<HidBackend>> backends;
    backends.push_back(std::move(inProcess));
    backends.push_back(std::move(system));
    backend_ = std::make_unique<CompositeHidBackend>(std::move(backends));
    key_->Plug();
}

KeySetup::~KeySetup() = default;

}  // namespace kelvora
