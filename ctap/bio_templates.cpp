#include "ctap/bio_templates.h"

#include <array>

#include "ctap/bio_request.h"
#include "ctap/bio_response.h"
#include "ctap/bio_status.h"

namespace kelvora {
namespace {

std::uint8_t SendOnce(FidoDevice& device, BioSubCommand subCommand, const BioParams& params,
                      bool withPinAuth) {
    BioRequest request;
    if (!BuildBioRequest(device.State(), subCommand, params, withPinAuth, request)) {
        return kCtapRequestTooLarge;
    }
    std::array<std::uint8_t, kBioResponseSize> response{};
    std::uint32_t length = 0;
    return SendBioRequest(device, request, response, length);
}

}  // namespace

int EnumerateBio(FidoDevice& device, SlotMap& slotMap, TemplateNames& names, DebugOutput& debug) {
    names.clear();
    BioRequest request;
    if (!BuildBioRequest(device.State(), BioSubCommand::kEnumerateEnrollments, {},
                         BioPinAuthRuleB(device.State()), request)) {
        return 0;
    }
    std::array<std::uint8_t, kBioResponseSize> response{};
    std::uint32_t length = 0;
    if (SendBioRequest(device, request, response, length) != 0) {
        return 0;
    }
    ReadTemplateInfos(std::span(response.data(), length), slotMap, names, debug);
    return 0;
}

std::uint8_t RemoveBio(FidoDevice& device, std::uint16_t slot, bool withPinAuth) {
    const auto templateId = TemplateIdFromSlot(slot);
    BioParams params;
    params.templateId = templateId;
    return SendOnce(device, BioSubCommand::kRemoveEnrollment, params, withPinAuth);
}

std::uint8_t SetFriendlyName(FidoDevice& device, std::span<const std::uint8_t> templateId,
                             std::string_view name, bool withPinAuth) {
    BioParams params;
    params.templateId = templateId;
    params.friendlyName = name;
    return SendOnce(device, BioSubCommand::kSetFriendlyName, params, withPinAuth);
}

}  // namespace kelvora
