// Hexadecimal input of the dump tool: pairs of digits in either case, with blanks allowed
// anywhere between the pairs and across arguments.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kelvora {

// Appends the bytes of `text` to `out`. On bad input returns false with a message in
// `error`; `out` then holds the bytes decoded before the fault.
bool appendHexBytes(std::string_view text, std::vector<std::uint8_t>& out, std::string& error);

}  // namespace kelvora
