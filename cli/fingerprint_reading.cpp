#include "cli/fingerprint_reading.h"

#include "ctap/key_operations.h"

namespace kelvora::cli {

std::string Fingerprints::StoredName(std::uint16_t slot) const {
    const auto it = names.find(slot);
    return it == names.end() ? std::string() : it->second;
}

int ReadFingerprints(CliEnv& env, KeySession& session, Fingerprints& prints) {
    prints = {};
    return ReadFingerprintsOnKey(session.Device(), prints.slots, prints.names, {}, env.debug)
        .status;
}

}  // namespace kelvora::cli
