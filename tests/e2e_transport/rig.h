// The client's session (FidoDevice, ConnectDevice) over in-process virtual keys.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "e2e_transport/exchanges.h"
#include "tests/common/fakes.h"
#include "tests/common/shared_clock.h"
#include "transport/connect.h"
#include "vkey/virtual_hid_backend.h"

namespace kelvora::test {

inline vkey::VirtualInterfaceOptions Unopenable() {
    vkey::VirtualInterfaceOptions options;
    options.unopenable = true;
    return options;
}

class Rig {
  public:
    Rig() : clock_(keyClock_), device_(backend_, keyState_, clock_, debug_) {}

    vkey::VirtualKey& AddKey(vkey::Config config, vkey::VirtualInterfaceOptions options = {},
                             bool plug = true) {
        keys_.push_back(std::make_unique<vkey::VirtualKey>(config, keyClock_));
        vkey::VirtualKey& key = *keys_.back();
        paths_.push_back(backend_.AddKey(key, std::move(options)));
        if (plug) {
            key.Plug();
        }
        return key;
    }

    ConnectResult Connect() { return ConnectDevice(device_, clock_); }

    std::uint8_t GetInfo(std::vector<std::uint8_t>& data) { return test::GetInfo(device_, data); }
    SlotRead ReadSlots(bool spoilChallenge = false) {
        return test::ReadSlots(device_, spoilChallenge);
    }

    vkey::ManualClock keyClock_{1000};
    SharedClock clock_;
    CapturedDebugOutput debug_;
    KeyState keyState_;
    // Declared before the backend and the session, which refer to them until they go.
    std::vector<std::unique_ptr<vkey::VirtualKey>> keys_;
    std::vector<std::string> paths_;
    vkey::VirtualHidBackend backend_;
    FidoDevice device_;
};

}  // namespace kelvora::test
