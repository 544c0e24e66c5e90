// A realistic authenticatorGetInfo response body (CTAP 2.1 §6.4) for the dump tool.
#pragma once

#include <cstdint>
#include <vector>

namespace kelvora {

std::vector<std::uint8_t> sampleGetInfoResponse();

}  // namespace kelvora
