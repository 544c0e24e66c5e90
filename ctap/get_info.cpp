#include "ctap/get_info.h"

#include <array>
#include <string_view>

#include "cbor/cbor_constants.h"
#include "cbor/cbor_view.h"
#include "ctap/command_codes.h"
#include "transport/apdu.h"
#include "transport/device_ids.h"

namespace kelvora {
namespace {

// Option names. The prototype bio enrollment option comes first; a key with the standard
// command lists "bioEnroll" instead.
constexpr std::string_view kClientPinOption = "clientPin";
constexpr std::string_view kUvOption = "uv";
constexpr std::string_view kBioPrototypeOption = "userVerificationMgmtPreview";
constexpr std::string_view kBioEnrollOption = "bioEnroll";
// A key that offers both forms of credential management is spoken to in the standard one.
constexpr std::string_view kCredMgmtOption = "credMgmt";
constexpr std::string_view kCredMgmtPreviewOption = "credentialMgmtPreview";
constexpr std::uint8_t kCredMgmtCommand = 0x0A;
constexpr std::uint8_t kCredMgmtPreviewCommand = 0x41;

// The legacy models' status query: 80 E3 02 00, two bytes back (PIN set, fingerprint set).
enum LegacyInfoApdu : std::uint8_t {
    kLegacyInfoClass = 0x80,
    kLegacyInfoInstruction = 0xE3,
    kLegacyInfoP1 = 0x02,
    kLegacyInfoP2 = 0x00,
    kLegacyInfoLe = 2,
};
// One byte more than the answer, as the key's answer is read into a zeroed buffer.
constexpr std::size_t kLegacyInfoBufferSize = 3;

CborView Option(const CborView& options, std::string_view name) {
    return options.findText(name.data(), static_cast<std::uint32_t>(name.size()));
}

bool IsTrue(const CborView& value) {
    return value.getSimple() == kCborTrue;
}

// A missing member reads as null; anything else, false included, is present.
bool IsPresent(const CborView& value) {
    return value.getSimple() != kCborNull;
}

std::uint16_t LegacyInfo(FidoDevice& device, AuthenticatorCaps& caps) {
    device.SetApduHeader(kLegacyInfoClass, kLegacyInfoInstruction, kLegacyInfoP1, kLegacyInfoP2,
                         nullptr, 0, kLegacyInfoLe);
    std::array<std::uint8_t, kLegacyInfoBufferSize> answer{};
    std::uint32_t length = kLegacyInfoLe;
    const std::uint16_t status =
        device.TransmitSecureApdu(answer.data(), &length, nullptr, 0, kApduPlain, nullptr);
    caps.pinSet = answer[0];
    caps.uvConfigured = answer[1];
    return status;
}

}  // namespace

InfoOptions ParseInfoOptions(const std::uint8_t* response, std::uint32_t length) {
    const CborView options = CborView(response, length).findKey(kInfoOptionsMember);
    InfoOptions result;
    result.clientPin = IsTrue(Option(options, kClientPinOption));
    result.uv = IsTrue(Option(options, kUvOption));
    const CborView prototype = Option(options, kBioPrototypeOption);
    result.bioEnroll = IsPresent(prototype) ? true : IsPresent(Option(options, kBioEnrollOption));
    if (IsTrue(Option(options, kCredMgmtOption))) {
        result.passkeyCommand = kCredMgmtCommand;
    } else if (IsTrue(Option(options, kCredMgmtPreviewOption))) {
        result.passkeyCommand = kCredMgmtPreviewCommand;
    }
    return result;
}

std::uint16_t GetAuthenticatorInfo(FidoDevice& device, AuthenticatorCaps& caps) {
    InfoResponse response{};
    std::uint32_t length = 0;
    return GetAuthenticatorInfo(device, caps, response, length);
}

std::uint16_t GetAuthenticatorInfo(FidoDevice& device, AuthenticatorCaps& caps,
                                   InfoResponse& response, std::uint32_t& length) {
    response.fill(0);
    length = 0;
    KeyState& state = device.State();
    if (IsLegacyModel(state.selectedProductId)) {
        return LegacyInfo(device, caps);
    }
    const std::uint8_t request = CommandByte(state, CtapCommand::kGetInfo);
    length = static_cast<std::uint32_t>(response.size());
    const std::uint8_t status = device.SendCborCommand(&request, 1, response.data(), &length);

    // Decoded whatever the status: an error answer carries no options, which clears
    // bioEnrollmentSupported and leaves the rest alone.
    const InfoOptions options = ParseInfoOptions(response.data(), length);
    if (options.clientPin) {
        caps.pinSet = 1;
        state.pinSet = true;
    }
    if (options.uv) {
        caps.uvConfigured = 1;
        state.uvConfigured = true;
    }
    state.bioEnrollmentSupported = options.bioEnroll;
    state.passkeyCommand = options.passkeyCommand;
    return status;
}

}  // namespace kelvora
