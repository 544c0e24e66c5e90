// Report lengths from a HID report descriptor (USB HID 1.11 §6.2.2), for platforms that do
// not report them the way Windows' HidP_GetCaps does.
#pragma once

#include <cstdint>
#include <span>

#include "transport/hid_backend.h"

namespace kelvora {

// The longest input and output reports the descriptor declares, in bytes, plus one for
// the report id byte (as Windows counts them). A direction without any report is 0, as is
// everything when the descriptor is malformed (an item running past the end, a Push
// nested too deep, a Pop without Push).
HidReportLengths ParseReportLengths(std::span<const std::uint8_t> descriptor);

}  // namespace kelvora
