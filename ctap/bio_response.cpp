#include "ctap/bio_response.h"

#include <limits>
#include <optional>
#include <string>

#include "cbor/cbor_view.h"
#include "ctap/bio_request.h"

namespace kelvora {
namespace {

CborView Member(const CborView& map, BioResponseKey key) {
    return map.findKey(static_cast<std::int32_t>(key));
}

CborView Member(const CborView& map, TemplateInfoKey key) {
    return map.findKey(static_cast<std::int32_t>(key));
}

void ReadNumber(const CborView& value, int& out) {
    std::uint32_t number = 0;
    if (value.getUnsigned(number)) {
        constexpr auto kMax = static_cast<std::uint32_t>(std::numeric_limits<int>::max());
        out = number > kMax ? std::numeric_limits<int>::max() : static_cast<int>(number);
    }
}

void ReadTemplateInfo(const CborView& info, SlotMap& slotMap, TemplateNames& names,
                      DebugOutput& debug) {
    const std::uint8_t* id = nullptr;
    std::uint32_t idLength = 0;
    if (!Member(info, TemplateInfoKey::kTemplateId).getBytes(id, idLength)) {
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
    if (!Member(info, TemplateInfoKey::kTemplateFriendlyName).getText(name, nameLength)) {
        nameLength = 0;
    }
    slotMap[*slot] = 1;
    names[*slot] = nameLength == 0 ? std::string() : std::string(name, nameLength);
}

}  // namespace

void ReadEnrollSample(std::span<const std::uint8_t> body, bool withTemplateId,
                      EnrollSample& sample) {
    const CborView map(body.data(), static_cast<std::uint32_t>(body.size()));
    if (withTemplateId) {
        const std::uint8_t* id = nullptr;
        std::uint32_t length = 0;
        if (Member(map, BioResponseKey::kTemplateId).getBytes(id, length)) {
            sample.templateId.assign(id, id + length);
        }
    }
    ReadNumber(Member(map, BioResponseKey::kLastEnrollSampleStatus), sample.lastSampleStatus);
    ReadNumber(Member(map, BioResponseKey::kRemainingSamples), sample.remainingSamples);
}

void ReadTemplateInfos(std::span<const std::uint8_t> body, SlotMap& slotMap, TemplateNames& names,
                       DebugOutput& debug) {
    const CborView infos = Member(CborView(body.data(), static_cast<std::uint32_t>(body.size())),
                                  BioResponseKey::kTemplateInfos);
    if (infos.getMajorType() != toByte(CborMajorType::kArray)) {
        return;
    }
    // Elements are walked until the first that is missing or malformed.
    for (std::uint32_t i = 0;; ++i) {
        const CborView info = infos.at(i);
        if (info.empty()) {
            return;
        }
        ReadTemplateInfo(info, slotMap, names, debug);
    }
}

}  // namespace kelvora
