// Feeds arbitrary key output to the session: the first byte picks the exchange, the next
// two the caller's capacity, and the rest is cut into 64-byte packets the key "sends"
// (the first packet answers CTAPHID_INIT). Nothing the key says may crash the client or
// make it write past a buffer.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "replay_backend.h"
#include "transport/device_ids.h"
#include "transport/fido_device.h"
#include "transport/hid_report_descriptor.h"

namespace {

class NullDebug final : public kelvora::DebugOutput {
  public:
    void Write(std::string_view /*line*/) override {}
};

class NoSleep final : public kelvora::Clock {
  public:
    std::uint64_t NowMs() override { return 0; }
    void SleepMs(std::uint32_t /*milliseconds*/) override {}
};

enum Exchange : std::uint8_t { kCbor, kApdu, kSecureApdu, kDescriptor, kExchangeCount };

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kelvora;
    if (size < 3) {
        return 0;
    }
    const auto exchange = static_cast<Exchange>(data[0] % kExchangeCount);
    const std::uint32_t capacity = (static_cast<std::uint32_t>(data[1]) << 8 | data[2]) % 4200;
    const std::uint8_t* rest = data + 3;
    const std::size_t restSize = size - 3;

    if (exchange == kDescriptor) {
        ParseReportLengths({rest, restSize});
        return 0;
    }

    test::ReplayBackend backend;
    auto key = backend.AddKey(kMakerVendorId, kSupportedProducts[0]);
    for (std::size_t offset = 0; offset < restSize; offset += 64) {
        const std::size_t chunk = restSize - offset < 64 ? restSize - offset : 64;
        key->QueuePacket(test::Bytes(rest + offset, rest + offset + chunk));
    }
    KeyState state;
    NoSleep clock;
    NullDebug debug;
    FidoDevice device(backend, state, clock, debug);
    device.SetTransportKind(1);
    device.EnumerateDevices();
    device.SelectDevice(kMakerVendorId, kSupportedProducts[0]);

    // Exactly `capacity` bytes, so that AddressSanitizer sees any write past it.
    std::vector<std::uint8_t> response(capacity);
    std::uint32_t length = capacity;
    std::uint8_t* buffer = response.empty() ? nullptr : response.data();
    const std::uint8_t request[] = {0x80, 0xE3, 0x00, 0x00, 0x03};
    // A length beyond the capacity may only be reported as "this much was needed".
    bool lengthMayExceed = buffer == nullptr;
    switch (exchange) {
        case kCbor:
            device.SendCborCommand(request, 1, buffer, &length);
            break;
        case kApdu:
            lengthMayExceed |= device.TransmitApdu(request, sizeof request, buffer, &length) ==
                               kSwTransportFailure;
            device.QueryFirmwareVersion();
            break;
        case kSecureApdu:
            device.SetApduHeader(0x84, 0xE2, 0x04, 0x00, nullptr, 0, 32);
            lengthMayExceed |=
                device.TransmitSecureApdu(buffer, &length, kSecureMessagingKey.data(), 16,
                                          kApduSecure, nullptr) == kSwTransportFailure;
            break;
        default:
            break;
    }
    if (length > capacity && !lengthMayExceed) {
        __builtin_trap();
    }
    return 0;
}
