#include "ctap/legacy_pin.h"

#include <algorithm>
#include <array>
#include <string>

#include <mbedtls/platform_util.h>

#include "ctap/pin_crypto.h"
#include "ctap/secret.h"
#include "ctap/status.h"
#include "platform/text.h"
#include "transport/device_ids.h"

namespace kelvora {
namespace {

// The vendor PIN APDUs (ISO/IEC 7816-4 form).
enum LegacyPinApdu : std::uint8_t {
    kChallengeClass = 0x80,
    kPinClass = 0x46,
    kSecureInstruction = 0xE2,
    kChallengeP1 = 0xFF,
    kSetPinP1 = 0x06,
    kChangePinP1 = 0x07,
    kNoP2 = 0x00,
};
constexpr std::uint32_t kPinResponseCapacity = 32;
constexpr std::size_t kChangePinDataLength = 2 * pin_crypto::kPinHashLength;

// The PIN in the ANSI code page, wiped when it goes. A PIN without an exact, non-empty ANSI
// form is not hashed at all: the hash of an empty or '?'-filled form would let other PINs in.
class AnsiPin {
  public:
    explicit AnsiPin(std::string_view utf8) : valid_(LegacyPinHasAnsiForm(utf8, bytes_)) {}
    ~AnsiPin() { mbedtls_platform_zeroize(bytes_.data(), bytes_.size()); }
    AnsiPin(const AnsiPin&) = delete;
    AnsiPin& operator=(const AnsiPin&) = delete;

    bool Valid() const { return valid_; }

    Secret<pin_crypto::kPinHashLength> Hash() const {
        return pin_crypto::PinHash(std::span<const std::uint8_t>(
            reinterpret_cast<const std::uint8_t*>(bytes_.data()), bytes_.size()));
    }

  private:
    std::string bytes_;
    bool valid_ = false;
};

// Asks for the one-time challenge that seeds the next secure APDU. Its status word is not
// examined: without a fresh challenge the key refuses the secure APDU, and that refusal is
// the result.
std::array<std::uint8_t, kSmChallengeSize> Challenge(FidoDevice& device) {
    std::array<std::uint8_t, kSmChallengeSize> challenge{};
    device.SetApduHeader(kChallengeClass, kSecureInstruction, kChallengeP1, kNoP2, nullptr, 0,
                         kSmChallengeSize);
    std::uint32_t length = challenge.size();
    device.TransmitSecureApdu(challenge.data(), &length, nullptr, 0, kApduPlain, nullptr);
    return challenge;
}

std::uint16_t SendPinApdu(FidoDevice& device, std::uint8_t p1, std::span<const std::uint8_t> data) {
    const std::array<std::uint8_t, kSmChallengeSize> challenge = Challenge(device);
    device.SetApduHeader(kPinClass, kSecureInstruction, p1, kNoP2, data.data(),
                         static_cast<std::uint32_t>(data.size()), 0);
    std::array<std::uint8_t, kPinResponseCapacity> response{};
    std::uint32_t length = response.size();
    const std::uint16_t status =
        device.TransmitSecureApdu(response.data(), &length, kSecureMessagingKey.data(),
                                  kSecureMessagingKey.size(), kApduSecure, challenge.data());
    // The header borrowed `data`, which is about to be wiped and go out of scope.
    device.SetApduHeader(0, 0, 0, 0, nullptr, 0, 0);
    return status;
}

}  // namespace

bool LegacyPinHasAnsiForm(std::string_view pinUtf8, std::string& ansi) {
    return text::ExactUtf8ToAnsi(pinUtf8, ansi) && !ansi.empty();
}

std::uint16_t SetPinLegacy(FidoDevice& device, std::string_view pinUtf8) {
    const AnsiPin pin(pinUtf8);
    if (!pin.Valid()) {
        return kStatusEntryError;
    }
    const Secret<pin_crypto::kPinHashLength> hash = pin.Hash();
    return SendPinApdu(device, kSetPinP1, hash.span());
}

std::uint16_t ChangePinLegacy(FidoDevice& device, std::string_view currentPinUtf8,
                              std::string_view newPinUtf8) {
    Secret<kChangePinDataLength> data;
    {
        const AnsiPin currentPin(currentPinUtf8);
        const AnsiPin newPin(newPinUtf8);
        if (!currentPin.Valid() || !newPin.Valid()) {
            return kStatusEntryError;
        }
        const Secret<pin_crypto::kPinHashLength> current = currentPin.Hash();
        const Secret<pin_crypto::kPinHashLength> next = newPin.Hash();
        std::copy(current.span().begin(), current.span().end(), data.data());
        std::copy(next.span().begin(), next.span().end(), data.data() + pin_crypto::kPinHashLength);
    }
    return SendPinApdu(device, kChangePinP1, data.span());
}

}  // namespace kelvora
