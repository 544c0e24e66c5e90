// Feeds arbitrary packet streams to a virtual key of every model: framing, CBOR decoding,
// ClientPIN, bio enrollment and the APDU paths must neither crash nor hang. The first byte
// picks the model and firmware; the rest is cut into 64-byte packets, each followed by a
// clock step so waits and time-outs run too.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "vkey/virtual_key.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kelvora::vkey;
    if (size < 1) {
        return 0;
    }
    Config config;
    config.model = 1 + data[0] % 7;
    config.firmware = static_cast<std::uint8_t>(15 + (data[0] >> 3) % 5);
    config.settleDelayMs = 0;
    ManualClock clock;
    VirtualKey key(config, clock);
    key.SetAutoTouch(AutoTouch{200, (data[0] & 0x80) != 0});
    key.Plug();
    ++data;
    --size;
    for (std::size_t offset = 0; offset < size; offset += kPacketSize) {
        std::uint8_t packet[kPacketSize] = {};
        std::memcpy(packet, data + offset, std::min(kPacketSize, size - offset));
        key.WritePacket(packet);
        clock.Advance(150);
        while (key.TryReadPacket()) {
        }
    }
    return 0;
}
