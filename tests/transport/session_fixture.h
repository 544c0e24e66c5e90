// A session over the replay backend with one maker's key attached and selected.
#pragma once

#include <gtest/gtest.h>

#include "tests/common/fakes.h"
#include "tests/common/replay_backend.h"
#include "transport/device_ids.h"
#include "transport/fido_device.h"

namespace kelvora::test {

inline const Bytes kChannel = {0x12, 0x34, 0x56, 0x78};
inline constexpr std::uint16_t kCtapModel = kSupportedProducts[2];
inline constexpr std::uint16_t kLegacyModel = kSupportedProducts[0];

class SessionTest : public ::testing::Test {
  protected:
    // Attaches a key of `productId` and selects it; the channel is not yet allocated.
    std::shared_ptr<ReplayDevice> Attach(std::uint16_t productId = kCtapModel) {
        key = backend.AddKey(kMakerVendorId, productId);
        device.SetTransportKind(static_cast<std::uint32_t>(TransportKind::kHid));
        EXPECT_EQ(device.EnumerateDevices(), backend.interfaces.size());
        EXPECT_EQ(device.SelectDevice(kMakerVendorId, productId), 1);
        return key;
    }

    // Attaches a key and queues the answer to the first CTAPHID_INIT.
    std::shared_ptr<ReplayDevice> AttachWithChannel(std::uint16_t productId = kCtapModel) {
        Attach(productId);
        key->QueueInitResponse(kChannel);
        return key;
    }

    // The reports the host wrote after the CTAPHID_INIT, if one was sent.
    std::vector<Bytes> MessageWrites() const {
        std::vector<Bytes> writes = key->written;
        if (!writes.empty() && writes[0][5] == ctaphid::kInit) {
            writes.erase(writes.begin());
        }
        return writes;
    }

    ReplayBackend backend;
    KeyState keyState;
    FakeClock clock;
    CapturedDebugOutput debug;
    FidoDevice device{backend, keyState, clock, debug};
    std::shared_ptr<ReplayDevice> key;
};

}  // namespace kelvora::test
