// The whole ClientPIN exchange against a key that answers with arbitrary bytes: the key
// agreement (the key's fixed P-256 point, so that the shared secret is reached, or bytes of
// the input), then getPINToken, setPIN or changePIN, with the token decrypted and stored.
// The first byte chooses the operation and the agreement; the rest is the key's answers,
// each prefixed by a one-byte length.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "cbor/cbor_writer.h"
#include "ctap/client_pin.h"
#include "replay_backend.h"
#include "transport/device_ids.h"
#include "transport/fido_device.h"

namespace {

using kelvora::test::Bytes;

const Bytes kChannel = {0x12, 0x34, 0x56, 0x78};

class NullDebug final : public kelvora::DebugOutput {
  public:
    void Write(std::string_view /*line*/) override {}
};

class NoSleep final : public kelvora::Clock {
  public:
    std::uint64_t NowMs() override { return 0; }
    void SleepMs(std::uint32_t /*milliseconds*/) override {}
};

// The key's public point for the scalar 0x1F..1F, in a getKeyAgreement answer.
Bytes FixedKeyAgreement() {
    const Bytes x =
        kelvora::test::Hex("6bf85d5fe84598b10ca6199ec09ccd7d35dcd7195fdd1dc7737a0c67006ef251");
    const Bytes y =
        kelvora::test::Hex("b952f25eec1deed1fca191838990466357d314adfb7e9760b8d9afc8f39a95ad");
    std::uint8_t buffer[200] = {};
    kelvora::CborWriter writer(buffer, sizeof buffer);
    writer.beginMap(1).putInt(1).beginMap(5);
    writer.putInt(1).putInt(2).putInt(3).putInt(-25).putInt(-1).putInt(1);
    writer.putInt(-2).putBytes(x.data(), 32).putInt(-3).putBytes(y.data(), 32);
    Bytes answer = {0x00};
    answer.insert(answer.end(), buffer, buffer + writer.length());
    return answer;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kelvora;
    if (size < 1) {
        return 0;
    }
    test::ReplayBackend backend;
    auto key = backend.AddKey(kMakerVendorId, kSupportedProducts[2]);
    key->QueueInitResponse(kChannel);
    if ((data[0] & 0x04) == 0) {
        key->QueueMessage(kChannel, ctaphid::kCbor, FixedKeyAgreement());
    }
    for (std::size_t offset = 1; offset < size;) {
        const std::size_t length = std::min<std::size_t>(data[offset], size - offset - 1);
        key->QueueMessage(kChannel, ctaphid::kCbor,
                          Bytes(data + offset + 1, data + offset + 1 + length));
        offset += 1 + length;
    }
    KeyState state;
    NoSleep clock;
    NullDebug debug;
    FidoDevice device(backend, state, clock, debug);
    device.SetTransportKind(1);
    device.EnumerateDevices();
    device.SelectDevice(kMakerVendorId, kSupportedProducts[2]);
    switch (data[0] & 0x03) {
        case 0:
            if (GetPinToken(device, "1234") == 0 && state.pinToken.Empty()) {
                std::abort();  // success must leave a token
            }
            break;
        case 1:
            RefreshPinToken(device, "1234");
            break;
        case 2:
            SetPin(device, "1234");
            break;
        default:
            ChangePin(device, "1234", "5678");
            break;
    }
    return 0;
}
