// Byte strings as the tests write them: in hex, and joined from parts.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <vector>

namespace kelvora::test {

using Bytes = std::vector<std::uint8_t>;

// "00 11 aa" or "0011AA": whatever is not a hex digit is passed over. An odd number of
// digits is a mistake in the test and throws.
Bytes Hex(std::string_view text);

Bytes Concat(std::initializer_list<Bytes> parts);

}  // namespace kelvora::test
