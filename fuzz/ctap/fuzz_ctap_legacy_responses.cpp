// Feeds arbitrary key output to the operations that speak vendor APDUs: the slot bitmap,
// a delete, an enrol step, the failure detail, the legacy verification poll and the legacy
// PIN commands. The first byte picks the operation, the second the key's model and command
// set; the rest is cut into 64-byte packets the key "sends" (the first answers
// CTAPHID_INIT). Nothing the key says may crash the client, hang it, or be taken for a
// well-formed answer it is not.
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "ctap/failure_detail.h"
#include "ctap/legacy_bio.h"
#include "ctap/legacy_pin.h"
#include "ctap/verification_test.h"
#include "replay_backend.h"
#include "transport/device_ids.h"
#include "transport/fido_device.h"

namespace {

void check(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

class NullDebug final : public kelvora::DebugOutput {
  public:
    void Write(std::string_view /*line*/) override {}
};

// Every reading moves time on, so that the verification poll reaches its limit once the
// key's answers run out.
class SteppingClock final : public kelvora::Clock {
  public:
    std::uint64_t NowMs() override { return now_ += kStepMs; }
    void SleepMs(std::uint32_t milliseconds) override { now_ += milliseconds; }

  private:
    static constexpr std::uint64_t kStepMs = 1000;
    std::uint64_t now_ = 0;
};

enum Operation : std::uint8_t {
    kReadSlots,
    kDelete,
    kEnrollStep,
    kFailureDetail,
    kVerificationPoll,
    kSetPin,
    kChangePin,
    kOperationCount,
};

constexpr std::size_t kHeaderSize = 2;
constexpr std::uint8_t kVendorCommandSetBit = 0x80;
constexpr std::uint8_t kModelMask = 0x01;  // the two legacy models
constexpr int kEnrollSlot = 3;
constexpr std::uint16_t kDeleteSlot = 7;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kelvora;
    if (size < kHeaderSize) {
        return 0;
    }
    const auto operation = static_cast<Operation>(data[0] % kOperationCount);
    const std::uint16_t productId = kSupportedProducts[data[1] & kModelMask];

    test::ReplayBackend backend;
    auto key = backend.AddKey(kMakerVendorId, productId);
    for (std::size_t offset = kHeaderSize; offset < size; offset += ctaphid::kPacketSize) {
        const std::size_t chunk = std::min(size - offset, ctaphid::kPacketSize);
        key->QueuePacket(test::Bytes(data + offset, data + offset + chunk));
    }
    KeyState state;
    SteppingClock clock;
    NullDebug debug;
    FidoDevice device(backend, state, clock, debug);
    device.SetTransportKind(static_cast<std::uint32_t>(TransportKind::kHid));
    device.EnumerateDevices();
    device.SelectDevice(kMakerVendorId, productId);
    state.vendorCommandSet = (data[1] & kVendorCommandSetBit) != 0;

    const std::atomic<bool> notCancelled{false};
    const BioSequenceServices services{clock, debug, SystemWallClock()};
    switch (operation) {
        case kReadSlots: {
            SlotMap slots{};
            SlotMap before = slots;
            bool noticed = false;
            const std::uint16_t status =
                LegacyReadSlots(device, slots, [&noticed] { noticed = true; });
            // The map changes only when the bitmap was read.
            check(status == 0 || slots == before);
            check(!(status == 0 && noticed));
            break;
        }
        case kDelete:
            LegacyDelete(device, kDeleteSlot);
            break;
        case kEnrollStep:
            LegacyEnrollStep(device, kEnrollSlot, 1);
            break;
        case kFailureDetail: {
            const std::optional<int> left = ReadFailureDetail(device);
            check(!left || *left >= 0);
            break;
        }
        case kVerificationPoll:
            RunVerificationTest(
                device, [](std::uint16_t) {}, notCancelled, services);
            break;
        case kSetPin:
            SetPinLegacy(device, "1234");
            break;
        case kChangePin:
            ChangePinLegacy(device, "1234", "5678");
            break;
        default:
            break;
    }
    return 0;
}
