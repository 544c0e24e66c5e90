// Setting and changing the PIN of a legacy model with the maker's vendor APDUs, sent under
// secure messaging after a fresh challenge. The key stores the first 16 bytes of SHA-256
// of the PIN in the ANSI code page; these functions take the PIN in UTF-8, as the CTAP2
// ones do, and convert it themselves. A PIN whose ANSI form is empty or not exact (see
// text::ExactUtf8ToAnsi) is refused with kStatusEntryError before anything is sent.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "transport/fido_device.h"

namespace kelvora {

// Whether the PIN has the exact, non-empty ANSI form a legacy model can be given; `ansi`
// receives it (the caller wipes it).
bool LegacyPinHasAnsiForm(std::string_view pinUtf8, std::string& ansi);

// Sets the first PIN. Returns the status word: 0x9000 on success.
std::uint16_t SetPinLegacy(FidoDevice& device, std::string_view pinUtf8);

// Changes the PIN. Returns the status word: 0x9000 on success, kSwPinRetriesBase plus the
// retries left for a wrong current PIN, kSwPinBlocked once no retry is left.
std::uint16_t ChangePinLegacy(FidoDevice& device, std::string_view currentPinUtf8,
                              std::string_view newPinUtf8);

}  // namespace kelvora
