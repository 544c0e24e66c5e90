#include "ctap/failure_detail.h"

#include <array>

#include "ctap/bio_request.h"
#include "ctap/bio_status.h"
#include "ctap/legacy_bio_apdu.h"
#include "ctap/status.h"
#include "transport/apdu.h"

namespace kelvora {
namespace {

// Room for the answer to getFingerprintRetries, which carries no data.
constexpr std::size_t kRetriesResponseSize = 2048;

std::optional<int> ReadByApdu(FidoDevice& device) {
    device.SetApduHeader(kLegacyPlainClass, kLegacyQueryInstruction, kLegacyFailureDetailP1, 0x00,
                         nullptr, 0, kLegacyFailureDetailLe);
    std::array<std::uint8_t, kLegacyFailureDetailLe> count{};
    std::uint32_t length = count.size();
    const std::uint16_t status =
        device.TransmitSecureApdu(count.data(), &length, nullptr, 0, kApduPlain, nullptr);
    if (status != kSwSuccess || length != kLegacyFailureDetailLe) {
        return std::nullopt;
    }
    return count[0];
}

std::optional<int> ReadByBioSubcommand(FidoDevice& device) {
    BioRequest request;
    BuildBioRequest(device.State(), BioSubCommand::kGetFingerprintRetries, {}, false, request);
    std::array<std::uint8_t, kRetriesResponseSize> response{};
    std::uint32_t length = 0;
    const std::uint8_t status = SendBioRequest(device, request, response, length);
    // The count is the status byte itself, so the session's own failure (0xFF) must not
    // be read as 255 attempts, nor a key that does not know the query (models without it
    // answer "invalid subcommand") as 62.
    if (status == kCtapRetriesUnknown || status == kCtapTransportFailure ||
        status == kCtapErrInvalidSubcommand) {
        return std::nullopt;
    }
    return status;
}

}  // namespace

std::optional<int> ReadFailureDetail(FidoDevice& device) {
    if (device.State().vendorCommandSet) {
        return ReadByApdu(device);
    }
    return ReadByBioSubcommand(device);
}

}  // namespace kelvora
