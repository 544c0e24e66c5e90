#include "ctap/client_pin_request.h"

#include <algorithm>

#include "cbor/cbor_view.h"
#include "cbor/cbor_writer.h"
#include "ctap/command_codes.h"

namespace kelvora {
namespace {

// The platform's public key as a COSE_Key (RFC 8152 §13.1.1), in the order CTAP 2.0 §5.5.4
// shows it.
enum CoseKeyMember : std::int32_t {
    kCoseKty = 1,
    kCoseAlg = 3,
    kCoseCurve = -1,
    kCoseX = -2,
    kCoseY = -3,
};
constexpr std::int32_t kCoseKtyEc2 = 2;
constexpr std::int32_t kCoseAlgEcdhEsHkdf256 = -25;
constexpr std::int32_t kCoseCurveP256 = 1;
constexpr std::uint32_t kCoseKeyPairs = 5;

// Pairs in each request map.
constexpr std::uint32_t kBarePairs = 2;       // protocol, subcommand
constexpr std::uint32_t kSetPinPairs = 5;     // + keyAgreement, pinAuth, newPinEnc
constexpr std::uint32_t kChangePinPairs = 6;  // + pinHashEnc
constexpr std::uint32_t kPinTokenPairs = 4;   // protocol, subcommand, keyAgreement, pinHashEnc

constexpr std::uint32_t kParameterOffset = 1;

// Starts a request: the command byte, then a writer over the rest of the buffer with the
// map head and the two members every request has.
CborWriter Begin(const KeyState& state, ClientPinSubcommand subcommand, std::uint32_t pairs,
                 PinRequest& out) {
    out.fill(0);
    out[0] = CommandByte(state, CtapCommand::kClientPin);
    CborWriter writer(out.data() + kParameterOffset,
                      static_cast<std::uint32_t>(out.size() - kParameterOffset));
    writer.beginMap(pairs)
        .putInt(kPinParamProtocol)
        .putInt(kPinProtocolOne)
        .putInt(kPinParamSubcommand)
        .putInt(static_cast<std::int32_t>(subcommand));
    return writer;
}

void PutBytes(CborWriter& writer, std::span<const std::uint8_t> bytes) {
    writer.putBytes(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
}

void PutPlatformKey(CborWriter& writer, const PinRequestSecrets& secrets) {
    writer.putInt(kPinParamKeyAgreement)
        .beginMap(kCoseKeyPairs)
        .putInt(kCoseKty)
        .putInt(kCoseKtyEc2)
        .putInt(kCoseAlg)
        .putInt(kCoseAlgEcdhEsHkdf256)
        .putInt(kCoseCurve)
        .putInt(kCoseCurveP256)
        .putInt(kCoseX);
    PutBytes(writer, secrets.platformX);
    writer.putInt(kCoseY);
    PutBytes(writer, secrets.platformY);
}

std::uint32_t Finish(const CborWriter& writer) {
    return writer.length() + kParameterOffset;
}

bool ReadCoordinate(const CborView& key, std::int32_t member,
                    std::array<std::uint8_t, pin_crypto::kCoordinateLength>& out) {
    const std::uint8_t* bytes = nullptr;
    std::uint32_t length = 0;
    // Exactly the coordinate's length: a longer one is no P-256 point either.
    if (!key.findKey(member).getBytes(bytes, length) || bytes == nullptr || length != out.size()) {
        return false;
    }
    std::copy_n(bytes, out.size(), out.begin());
    return true;
}

}  // namespace

std::uint32_t BuildGetRetries(const KeyState& state, PinRequest& out) {
    return Finish(Begin(state, ClientPinSubcommand::kGetRetries, kBarePairs, out));
}

std::uint32_t BuildGetKeyAgreement(const KeyState& state, PinRequest& out) {
    return Finish(Begin(state, ClientPinSubcommand::kGetKeyAgreement, kBarePairs, out));
}

std::uint32_t BuildSetPin(const KeyState& state, const PinRequestSecrets& secrets,
                          PinRequest& out) {
    CborWriter writer = Begin(state, ClientPinSubcommand::kSetPin, kSetPinPairs, out);
    PutPlatformKey(writer, secrets);
    writer.putInt(kPinParamPinAuth);
    PutBytes(writer, secrets.pinAuth);
    writer.putInt(kPinParamNewPinEnc);
    PutBytes(writer, secrets.newPinEnc);
    return Finish(writer);
}

std::uint32_t BuildChangePin(const KeyState& state, const PinRequestSecrets& secrets,
                             PinRequest& out) {
    CborWriter writer = Begin(state, ClientPinSubcommand::kChangePin, kChangePinPairs, out);
    PutPlatformKey(writer, secrets);
    writer.putInt(kPinParamPinAuth);
    PutBytes(writer, secrets.pinAuth);
    writer.putInt(kPinParamNewPinEnc);
    PutBytes(writer, secrets.newPinEnc);
    writer.putInt(kPinParamPinHashEnc);
    PutBytes(writer, secrets.pinHashEnc);
    return Finish(writer);
}

std::uint32_t BuildGetPinToken(const KeyState& state, const PinRequestSecrets& secrets,
                               PinRequest& out) {
    CborWriter writer = Begin(state, ClientPinSubcommand::kGetPinToken, kPinTokenPairs, out);
    PutPlatformKey(writer, secrets);
    writer.putInt(kPinParamPinHashEnc);
    PutBytes(writer, secrets.pinHashEnc);
    return Finish(writer);
}

bool ParseKeyAgreement(const std::uint8_t* response, std::uint32_t length,
                       std::array<std::uint8_t, pin_crypto::kCoordinateLength>& x,
                       std::array<std::uint8_t, pin_crypto::kCoordinateLength>& y) {
    const CborView key = CborView(response, length).findKey(kPinResponseKeyAgreement);
    std::uint32_t kty = 0;
    std::uint32_t curve = 0;
    std::int64_t alg = 0;
    // Only an EC2 key on P-256 for ECDH-ES with HKDF-256 is what protocol one agrees with.
    return key.findKey(kCoseKty).getUnsigned(kty) &&
           kty == static_cast<std::uint32_t>(kCoseKtyEc2) &&
           key.findKey(kCoseAlg).getNegative(alg) && alg == kCoseAlgEcdhEsHkdf256 &&
           key.findKey(kCoseCurve).getUnsigned(curve) &&
           curve == static_cast<std::uint32_t>(kCoseCurveP256) && ReadCoordinate(key, kCoseX, x) &&
           ReadCoordinate(key, kCoseY, y);
}

std::span<const std::uint8_t> ParsePinTokenEnc(const std::uint8_t* response, std::uint32_t length) {
    const std::uint8_t* bytes = nullptr;
    std::uint32_t size = 0;
    if (!CborView(response, length).findKey(kPinResponsePinToken).getBytes(bytes, size) ||
        bytes == nullptr) {
        return {};
    }
    return {bytes, size};
}

std::optional<std::uint32_t> ParseRetries(const std::uint8_t* response, std::uint32_t length) {
    std::uint32_t retries = 0;
    if (!CborView(response, length).findKey(kPinResponseRetries).getUnsigned(retries)) {
        return std::nullopt;
    }
    return retries;
}

}  // namespace kelvora
