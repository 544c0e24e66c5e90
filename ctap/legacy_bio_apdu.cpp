#include "ctap/legacy_bio_apdu.h"

#include <array>

#include "transport/apdu.h"
#include "transport/device_ids.h"

namespace kelvora {

std::uint16_t TransmitLegacySecureCommand(FidoDevice& device, const LegacySecureCommand& command,
                                          std::uint8_t* response, std::uint32_t* responseLength) {
    std::array<std::uint8_t, kSmChallengeSize> challenge{};
    std::uint32_t challengeLength = challenge.size();
    device.SetApduHeader(kLegacyPlainClass, kLegacyBioInstruction, kLegacyChallengeP1, 0x00,
                         nullptr, 0, kLegacyChallengeLe);
    device.TransmitSecureApdu(challenge.data(), &challengeLength, kSecureMessagingKey.data(),
                              kSecureMessagingKeyLength, kApduPlain, nullptr);

    device.SetApduHeader(command.cla, command.ins, command.p1, command.p2,
                         command.data.empty() ? nullptr : command.data.data(),
                         static_cast<std::uint32_t>(command.data.size()), command.le);
    return device.TransmitSecureApdu(response, responseLength, kSecureMessagingKey.data(),
                                     kSecureMessagingKeyLength, kApduSecure, challenge.data());
}

}  // namespace kelvora
