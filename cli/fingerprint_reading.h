// The enrolled fingerprints of the session's key, as the fingerprint commands and `info`
// read them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "cli/cli_env.h"
#include "cli/key_session.h"
#include "ctap/fingerprint_record.h"
#include "ctap/input_rules.h"

namespace kelvora::cli {

struct Fingerprints {
    SlotMap slots{};
    TemplateNames names;

    std::size_t Count() const { return CountEnrolled(slots); }
    bool Has(std::uint16_t slot) const { return SlotFitsMap(slot) && slots[slot] != 0; }
    // The name as the key stores it (stamp and visible name, ANSI code page).
    std::string StoredName(std::uint16_t slot) const;
};

// Reads the enrolled fingerprints; returns 0 or the failing status.
int ReadFingerprints(CliEnv& env, KeySession& session, Fingerprints& prints);

}  // namespace kelvora::cli
