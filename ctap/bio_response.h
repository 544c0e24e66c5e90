// Reading the answers of the bio enrollment command. Everything is read in place and
// bounds-checked; members of the wrong type count as missing, unknown members are ignored.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "ctap/fingerprint_record.h"
#include "platform/debug_output.h"

namespace kelvora {

// What one sample of an enrollment told. Members the answer lacks keep their value.
struct EnrollSample {
    std::vector<std::uint8_t> templateId;  // empty until an answer gives one
    int remainingSamples = -1;
    int lastSampleStatus = -1;
};

// Reads templateId (only when `withTemplateId`), lastEnrollSampleStatus and
// remainingSamples. Numbers beyond the range of int read as its maximum.
void ReadEnrollSample(std::span<const std::uint8_t> body, bool withTemplateId,
                      EnrollSample& sample);

// Reads templateInfos into `slotMap` and `names` as EnumerateBio describes (identifiers
// shorter than two bytes or beyond the slot map are left out).
void ReadTemplateInfos(std::span<const std::uint8_t> body, SlotMap& slotMap, TemplateNames& names,
                       DebugOutput& debug);

}  // namespace kelvora
