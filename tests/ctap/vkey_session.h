// A session connected to the in-process virtual key of one model, for the flow tests.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "tests/common/fakes.h"
#include "transport/connect.h"
#include "transport/fido_device.h"
#include "virtual_key_backend.h"

namespace kelvora::test {

// A session connected to a virtual key of one model.
class VirtualKeyTest : public ::testing::Test {
  protected:
    // Plugs in a key of `model` (1-7, the position in the supported product list) and
    // connects as the main window does, setting the flags GetInfo would.
    void Connect(int model, std::uint8_t firmware = 17, vkey::State initial = {}) {
        vkey::Config config;
        config.model = model;
        config.firmware = firmware;
        Connect(config, std::move(initial));
    }

    void Connect(const vkey::Config& config, vkey::State initial) {
        key = std::make_unique<vkey::VirtualKey>(config, keyClock, std::move(initial));
        backend = std::make_unique<VirtualKeyBackend>(*key, keyClock);
        device = std::make_unique<FidoDevice>(*backend, keyState, clock, debug);
        key->Plug();
        ASSERT_TRUE(ConnectDevice(*device, clock).connected);
        const vkey::State state = key->SnapshotState();
        keyState.bioEnrollmentSupported = !config.isLegacy();
        keyState.pinSet = state.pinSet();
        keyState.uvConfigured = !state.templates.empty();
    }

    vkey::ManualClock keyClock{1000};
    SharedClock clock{keyClock};
    CapturedDebugOutput debug;
    KeyState keyState;
    std::unique_ptr<vkey::VirtualKey> key;
    std::unique_ptr<VirtualKeyBackend> backend;
    std::unique_ptr<FidoDevice> device;
};

}  // namespace kelvora::test
