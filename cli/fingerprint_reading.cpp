#include "cli/fingerprint_reading.h"

#include "ctap/bio_templates.h"
#include "ctap/legacy_bio.h"

namespace kelvora::cli {

std::size_t Fingerprints::Count() const {
    std::size_t count = 0;
    for (const auto entry : slots) {
        count += entry != 0 ? 1 : 0;
    }
    return count;
}

std::string Fingerprints::StoredName(std::uint16_t slot) const {
    const auto it = names.find(slot);
    return it == names.end() ? std::string() : it->second;
}

int ReadFingerprints(CliEnv& env, KeySession& session, Fingerprints& prints) {
    prints = {};
    if (session.Legacy()) {
        const std::uint16_t status = LegacyReadSlots(session.Device(), prints.slots, {});
        return status == 0 ? 0 : status;
    }
    return EnumerateBio(session.Device(), prints.slots, prints.names, env.debug);
}

}  // namespace kelvora::cli
