#include "ctap/bio_templates.h"

#include <array>

#include "cbor/cbor_view.h"
#include "ctap/bio_request.h"
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

void ReadTemplateInfo(const CborView& info, SlotMap& slotMap, TemplateNames& names,
                      DebugOutput& debug) {
    const std::uint8_t* id = nullptr;
    std::uint32_t idLength = 0;
    if (!info.findKey(static_cast<std::int32_t>(TemplateInfoKey::kTemplateId))
             .getBytes(id, idLength)) {
        return;
    }
    const std::optional<std::uint16_t> slot = SlotFromTemplateId({id, idLength});
    if (!slot) {
        return;
    }
    if (!SlotFitsMap(*slot)) {
        DebugPrintf(debug, "EnumerateBio: template 0x%04X is beyond the slot map, left out", *slot);
        return;
    }
    const char* name = nullptr;
    std::uint32_t nameLength = 0;
    if (!info.findKey(static_cast<std::int32_t>(TemplateInfoKey::kTemplateFriendlyName))
             .getText(name, nameLength)) {
        nameLength = 0;
    }
    slotMap[*slot] = 1;
    names[*slot] = nameLength == 0 ? std::string() : std::string(name, nameLength);
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
    const CborView infos = CborView(response.data(), length)
                               .findKey(static_cast<std::int32_t>(BioResponseKey::kTemplateInfos));
    if (infos.getMajorType() != toByte(CborMajorType::kArray)) {
        return 0;
    }
    for (std::uint32_t i = 0;; ++i) {
        const CborView info = infos.at(i);
        if (info.empty()) {
            break;
        }
        ReadTemplateInfo(info, slotMap, names, debug);
    }
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
