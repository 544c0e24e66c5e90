// Readable texts for the enrollment progress the key reports.
#pragma once

#include <cstdint>
#include <string>

namespace kelvora::cli {

// The lastEnrollSampleStatus of CTAP 2.1 §6.7.2 (0 to 14) as advice to the user; other
// values are named as unknown, -1 (none given) as "no status".
std::string SampleStatusText(int status);

// A legacy enrollment step's status word.
std::string LegacySampleStatusText(std::uint16_t statusWord);

}  // namespace kelvora::cli
