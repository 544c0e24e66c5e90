#include "ctap/passkeys.h"

#include <array>

#include "ctap/passkey_response.h"
#include "ctap/status.h"

namespace kelvora {
namespace {

using Response = std::array<std::uint8_t, kCredManResponseSize>;

// One exchange; `body` receives the data after the status byte.
int Exchange(FidoDevice& device, PasskeyCommand command, CredManSubCommand subCommand,
             const CredManParams& params, bool withPinAuth, Response& response,
             std::span<const std::uint8_t>& body) {
    CredManRequest request;
    if (!BuildCredManRequest(device.State(), command, subCommand, params, withPinAuth, request)) {
        return kCtapErrRequestTooLarge;
    }
    std::uint32_t length = 0;
    const std::uint8_t status = SendCredManRequest(device, request, response, length);
    body = std::span<const std::uint8_t>(response.data(), length);
    return status;
}

bool HoldsToken(FidoDevice& device) {
    return !device.State().pinToken.Empty();
}

// Reads the first answer of an enumeration and asks for the rest; `read` takes one answer
// (with the total for the first). Nothing is asked beyond `room` entries.
template <typename Item, typename Read>
int Enumerate(FidoDevice& device, PasskeyCommand command, CredManSubCommand begin,
              CredManSubCommand next, const CredManParams& params, std::uint32_t room,
              std::vector<Item>& items, Read read) {
    Response response{};
    std::span<const std::uint8_t> body;
    const int status = Exchange(device, command, begin, params, HoldsToken(device), response, body);
    if (status == kCtapErrNoCredentials) {
        return kCtapSuccess;
    }
    if (status != kCtapSuccess) {
        return status;
    }
    std::uint32_t total = 0;
    Item first;
    if (!read(body, first, &total) || total == 0 || total > room) {
        return kStatusMalformedAnswer;
    }
    items.push_back(std::move(first));
    for (std::uint32_t i = 1; i < total; ++i) {
        const int nextStatus = Exchange(device, command, next, {}, false, response, body);
        if (nextStatus != kCtapSuccess) {
            return nextStatus;
        }
        Item item;
        if (!read(body, item, nullptr)) {
            return kStatusMalformedAnswer;
        }
        items.push_back(std::move(item));
    }
    return kCtapSuccess;
}

int ListInto(FidoDevice& device, PasskeyCommand command, std::vector<PasskeySite>& sites) {
    int status = Enumerate(device, command, CredManSubCommand::kEnumerateRpsBegin,
                           CredManSubCommand::kEnumerateRpsGetNextRp, {}, kMaxListedPasskeys, sites,
                           [](std::span<const std::uint8_t> body, PasskeySite& site,
                              std::uint32_t* total) { return ReadSiteAnswer(body, site, total); });
    // The key keeps one enumeration at a time: the sites are all read before their passkeys.
    std::uint32_t listed = 0;
    for (PasskeySite& site : sites) {
        if (status != kCtapSuccess) {
            break;
        }
        CredManParams params;
        params.rpIdHash = site.rpIdHash;
        status =
            Enumerate(device, command, CredManSubCommand::kEnumerateCredentialsBegin,
                      CredManSubCommand::kEnumerateCredentialsGetNextCredential, params,
                      kMaxListedPasskeys - listed, site.passkeys,
                      [](std::span<const std::uint8_t> body, Passkey& passkey,
                         std::uint32_t* total) { return ReadPasskeyAnswer(body, passkey, total); });
        listed += static_cast<std::uint32_t>(site.passkeys.size());
    }
    return status;
}

}  // namespace

int ReadPasskeyMetadata(FidoDevice& device, PasskeyCommand command, PasskeyMetadata& metadata) {
    metadata = {};
    Response response{};
    std::span<const std::uint8_t> body;
    const int status = Exchange(device, command, CredManSubCommand::kGetCredsMetadata, {},
                                HoldsToken(device), response, body);
    if (status != kCtapSuccess) {
        return status;
    }
    if (!ReadMetadataAnswer(body, metadata) || metadata.existing > kMaxListedPasskeys) {
        metadata = {};
        return kStatusMalformedAnswer;
    }
    return kCtapSuccess;
}

int ListPasskeys(FidoDevice& device, PasskeyCommand command, std::vector<PasskeySite>& sites) {
    sites.clear();
    const int status = ListInto(device, command, sites);
    if (status != kCtapSuccess) {
        sites.clear();
    }
    return status;
}

int DeletePasskey(FidoDevice& device, PasskeyCommand command,
                  std::span<const std::uint8_t> credentialId) {
    CredManParams params;
    params.credentialId = credentialId;
    Response response{};
    std::span<const std::uint8_t> body;
    return Exchange(device, command, CredManSubCommand::kDeleteCredential, params,
                    HoldsToken(device), response, body);
}

}  // namespace kelvora
