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

std::optional<vkey::AutoTouch> DemoAutoTouch(bool on) {
    if (!on) {
        return std::nullopt;
    }
    return vkey::AutoTouch{kDemoTouchDelayMs, false};
}

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
    auto inProcess = std::make_unique<vkey::VirtualHidBackend>();
    inProcess->SetDeviceChangeObserver(&Broadcast);
    inProcess_ = inProcess.get();
    std::vector<std::unique_ptr<HidBackend>> backends;
    backends.push_back(std::move(inProcess));
    backends.push_back(std::move(system));
    backend_ = std::make_unique<CompositeHidBackend>(std::move(backends));
    vkey::Config config;
    config.model = *options.virtualModel;
    PlugNewKey(config);
}

KeySetup::~KeySetup() = default;

vkey::VirtualKey* KeySetup::ReplaceInProcessKey(const vkey::Config& config) {
    if (inProcess_ == nullptr || !config.IsValid()) {
        return nullptr;
    }
    InProcessKey()->Unplug();
    return &PlugNewKey(config);
}

void KeySetup::SetAutoTouch(bool on) {
    autoTouch_ = on;
    if (vkey::VirtualKey* key = InProcessKey()) {
        key->SetAutoTouch(DemoAutoTouch(on));
    }
}

vkey::VirtualKey& KeySetup::PlugNewKey(const vkey::Config& config) {
    keys_.push_back(std::make_unique<vkey::VirtualKey>(config, clock_));
    vkey::VirtualKey& key = *keys_.back();
    key.SetAutoTouch(DemoAutoTouch(autoTouch_));
    inProcess_->AddKey(key);
    key.Plug();
    return key;
}

}  // namespace kelvora
