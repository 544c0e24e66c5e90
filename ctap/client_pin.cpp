#include "ctap/client_pin.h"

#include <array>
#include <cstring>
#include <span>

#include "ctap/client_pin_request.h"
#include "ctap/secret.h"
#include "ctap/status.h"

namespace kelvora {
namespace {

constexpr std::size_t kKeyAgreementResponseSize = 4096;
constexpr std::size_t kPinResponseSize = 1024;
constexpr std::size_t kShortTokenLength = 16;
constexpr std::size_t kLongTokenLength = 32;

using pin_crypto::KeyAgreement;

std::span<const std::uint8_t> Bytes(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// Sends a built request; `response` may be empty when only the status is expected, in
// which case an answer with data gives kCtapResponseTooLarge.
std::uint8_t Send(FidoDevice& device, const PinRequest& request, std::uint32_t requestLength,
                  std::span<std::uint8_t> response, std::uint32_t& responseLength) {
    responseLength = static_cast<std::uint32_t>(response.size());
    return device.SendCborCommand(request.data(), static_cast<std::int32_t>(requestLength),
                                  response.data(), &responseLength);
}

PinRequestSecrets PlatformKey(const KeyAgreement& agreement) {
    return PinRequestSecrets{agreement.platformX, agreement.platformY, {}, {}, {}};
}

// Where a getPINToken answer leaves the token.
enum class TokenOutcome {
    kStored,     // decrypted into pinToken
    kMissing,    // no token, or an empty one
    kMalformed,  // not 16 or 32 bytes
};

TokenOutcome StoreToken(const KeyAgreement& agreement, std::span<const std::uint8_t> encrypted,
                        PinToken& pinToken) {
    if (encrypted.empty()) {
        return TokenOutcome::kMissing;
    }
    Secret<kPinResponseSize> token;
    // Protocol one's tokens have 16 or 32 bytes; anything else is not a token of it.
    if ((encrypted.size() != kShortTokenLength && encrypted.size() != kLongTokenLength) ||
        !pin_crypto::Decrypt(agreement.sharedSecret, encrypted, token.span())) {
        return TokenOutcome::kMalformed;
    }
    pinToken.Set(std::span<const std::uint8_t>(token.data(), encrypted.size()));
    return TokenOutcome::kStored;
}

// Sends getPINToken for `pin` under a fresh agreement. Returns the agreement's failure, or 0
// with the exchange's status in `status` and the encrypted token in `encrypted` (pointing
// into `response`).
int RequestPinToken(FidoDevice& device, std::string_view pin, KeyAgreement& agreement,
                    std::array<std::uint8_t, kPinResponseSize>& response, std::uint8_t& status,
                    std::span<const std::uint8_t>& encrypted) {
    if (const int result = RequestKeyAgreement(device, agreement); result != 0) {
        return result;
    }
    const Secret<pin_crypto::kPinHashLength> pinHash = pin_crypto::PinHash(Bytes(pin));
    std::array<std::uint8_t, pin_crypto::kPinHashLength> pinHashEnc{};
    pin_crypto::Encrypt(agreement.sharedSecret, pinHash.span(), pinHashEnc);

    PinRequestSecrets secrets = PlatformKey(agreement);
    secrets.pinHashEnc = pinHashEnc;
    PinRequest request{};
    const std::uint32_t requestLength = BuildGetPinToken(device.State(), secrets, request);
    std::uint32_t length = 0;
    status = Send(device, request, requestLength, response, length);
    encrypted = ParsePinTokenEnc(response.data(), length);
    return 0;
}

}  // namespace

int DeriveSharedSecret(const std::uint8_t* response, std::uint32_t length, KeyAgreement& out) {
    std::array<std::uint8_t, pin_crypto::kCoordinateLength> x{};
    std::array<std::uint8_t, pin_crypto::kCoordinateLength> y{};
    if (response == nullptr || !ParseKeyAgreement(response, length, x, y)) {
        return kCtapErrInvalidCbor;
    }
    return pin_crypto::AgreeKey(x, y, out);
}

int RequestKeyAgreement(FidoDevice& device, KeyAgreement& out) {
    PinRequest request{};
    const std::uint32_t requestLength = BuildGetKeyAgreement(device.State(), request);
    std::array<std::uint8_t, kKeyAgreementResponseSize> response{};
    std::uint32_t length = 0;
    Send(device, request, requestLength, response, length);
    return DeriveSharedSecret(response.data(), length, out);
}

int GetPinRetries(FidoDevice& device, std::uint32_t& retries) {
    PinRequest request{};
    const std::uint32_t requestLength = BuildGetRetries(device.State(), request);
    std::array<std::uint8_t, kPinResponseSize> response{};
    std::uint32_t length = 0;
    if (const std::uint8_t status = Send(device, request, requestLength, response, length);
        status != kCtapSuccess) {
        return status;
    }
    const std::optional<std::uint32_t> count = ParseRetries(response.data(), length);
    if (!count) {
        return kCtapErrInvalidCbor;
    }
    retries = *count;
    return kCtapSuccess;
}

std::optional<std::uint32_t> GetPinRetries(FidoDevice& device) {
    std::uint32_t retries = 0;
    if (GetPinRetries(device, retries) != kCtapSuccess) {
        return std::nullopt;
    }
    return retries;
}

int SetPin(FidoDevice& device, std::string_view pinUtf8) {
    KeyAgreement agreement;
    if (const int result = RequestKeyAgreement(device, agreement); result != 0) {
        return result;
    }
    const Secret<pin_crypto::kPaddedPinLength> padded = pin_crypto::PadPin(Bytes(pinUtf8));
    std::array<std::uint8_t, pin_crypto::kPaddedPinLength> newPinEnc{};
    pin_crypto::Encrypt(agreement.sharedSecret, padded.span(), newPinEnc);
    const pin_crypto::PinAuth pinAuth =
        pin_crypto::Authenticate(agreement.sharedSecret.span(), newPinEnc);

    PinRequestSecrets secrets = PlatformKey(agreement);
    secrets.pinAuth = pinAuth;
    secrets.newPinEnc = newPinEnc;
    PinRequest request{};
    const std::uint32_t requestLength = BuildSetPin(device.State(), secrets, request);
    std::uint32_t length = 0;
    return Send(device, request, requestLength, {}, length);
}

int ChangePin(FidoDevice& device, std::string_view currentPinUtf8, std::string_view newPinUtf8) {
    KeyAgreement agreement;
    if (const int result = RequestKeyAgreement(device, agreement); result != 0) {
        return result;
    }
    const Secret<pin_crypto::kPaddedPinLength> padded = pin_crypto::PadPin(Bytes(newPinUtf8));
    const Secret<pin_crypto::kPinHashLength> currentHash =
        pin_crypto::PinHash(Bytes(currentPinUtf8));
    // newPinEnc and pinHashEnc side by side: pinAuth covers both (CTAP 2.0 §5.5.6).
    std::array<std::uint8_t, pin_crypto::kPaddedPinLength + pin_crypto::kPinHashLength> encrypted{};
    const std::span<std::uint8_t> newPinEnc(encrypted.data(), pin_crypto::kPaddedPinLength);
    const std::span<std::uint8_t> pinHashEnc(encrypted.data() + pin_crypto::kPaddedPinLength,
                                             pin_crypto::kPinHashLength);
    pin_crypto::Encrypt(agreement.sharedSecret, padded.span(), newPinEnc);
    pin_crypto::Encrypt(agreement.sharedSecret, currentHash.span(), pinHashEnc);
    const pin_crypto::PinAuth pinAuth =
        pin_crypto::Authenticate(agreement.sharedSecret.span(), encrypted);

    PinRequestSecrets secrets = PlatformKey(agreement);
    secrets.pinAuth = pinAuth;
    secrets.newPinEnc = newPinEnc;
    secrets.pinHashEnc = pinHashEnc;
    PinRequest request{};
    const std::uint32_t requestLength = BuildChangePin(device.State(), secrets, request);
    std::uint32_t length = 0;
    return Send(device, request, requestLength, {}, length);
}

int GetPinToken(FidoDevice& device, std::string_view pinUtf8) {
    KeyAgreement agreement;
    std::array<std::uint8_t, kPinResponseSize> response{};
    std::uint8_t status = 0;
    std::span<const std::uint8_t> encrypted;
    if (const int result = RequestPinToken(device, pinUtf8, agreement, response, status, encrypted);
        result != 0) {
        return result;
    }
    if (status != kCtapSuccess) {
        return status;
    }
    return StoreToken(agreement, encrypted, device.State().pinToken) == TokenOutcome::kStored
               ? kCtapSuccess
               : kNoPinToken;
}

int RefreshPinToken(FidoDevice& device, std::string_view pinUtf8) {
    KeyAgreement agreement;
    std::array<std::uint8_t, kPinResponseSize> response{};
    std::uint8_t status = 0;
    std::span<const std::uint8_t> encrypted;
    if (const int result = RequestPinToken(device, pinUtf8, agreement, response, status, encrypted);
        result != 0) {
        return result;
    }
    switch (StoreToken(agreement, encrypted, device.State().pinToken)) {
        case TokenOutcome::kStored:
            return kCtapSuccess;
        case TokenOutcome::kMissing:
            device.State().pinToken.Clear();
            return kCtapSuccess;
        case TokenOutcome::kMalformed:
            break;
    }
    return kNoPinToken;
}

}  // namespace kelvora
