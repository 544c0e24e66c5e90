#include "cbor/tools/sample_get_info.h"

#include <array>

#include "cbor/cbor_constants.h"
#include "cbor/cbor_writer.h"

namespace kelvora {

namespace {

// authenticatorGetInfo response members (CTAP 2.1 §6.4).
enum GetInfoKey : std::int32_t {
    kVersions = 0x01,
    kExtensions = 0x02,
    kAaguid = 0x03,
    kOptions = 0x04,
    kMaxMsgSize = 0x05,
    kPinProtocols = 0x06,
};

constexpr std::uint32_t kSampleMaxMsgSize = 1200;
constexpr std::int32_t kPinProtocolOne = 1;
constexpr std::uint32_t kSampleCapacity = 256;

// An arbitrary identifier for the sample; it names no real model.
constexpr std::array<std::uint8_t, 16> kSampleAaguid = {
    0x6b, 0x76, 0x2f, 0x31, 0x9e, 0x04, 0x4c, 0x5a, 0xb7, 0x12, 0x58, 0xd3, 0x0a, 0xe1, 0x77, 0x42};

}  // namespace

std::vector<std::uint8_t> sampleGetInfoResponse() {
    std::vector<std::uint8_t> bytes(kSampleCapacity);
    CborWriter writer(bytes.data(), kSampleCapacity);
    writer.beginMap(6)
        .putInt(kVersions)
        .beginArray(2)
        .putText("FIDO_2_0")
        .putText("FIDO_2_1_PRE")
        .putInt(kExtensions)
        .beginArray(1)
        .putText("hmac-secret")
        .putInt(kAaguid)
        .putBytes(kSampleAaguid.data(), kSampleAaguid.size())
        .putInt(kOptions)
        .beginMap(5)
        .putText("rk")
        .putSimple(kCborTrue)
        .putText("up")
        .putSimple(kCborTrue)
        .putText("uv")
        .putSimple(kCborTrue)
        .putText("clientPin")
        .putSimple(kCborTrue)
        .putText("userVerificationMgmtPreview")
        .putSimple(kCborTrue)
        .putInt(kMaxMsgSize)
        .putInt(static_cast<std::int32_t>(kSampleMaxMsgSize))
        .putInt(kPinProtocols)
        .beginArray(1)
        .putInt(kPinProtocolOne);
    bytes.resize(writer.length());
    return bytes;
}

}  // namespace kelvora
