// Listing, naming and removing the enrolled fingerprints of a key that takes the bio
// enrollment command.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "ctap/fingerprint_record.h"
#include "platform/debug_output.h"
#include "transport/fido_device.h"

namespace kelvora {

// Empties `names`, asks the key for its templates (pinAuth under rule B) and, for each
// template whose identifier has two bytes or more and whose slot number fits the slot map,
// sets its entry in `slotMap` and stores its name (empty when the key gives none). Other
// templates are left out: a slot beyond the map could not be shown or acted on. A key that
// refuses the request, as the maker's keys do when they hold no template, lists nothing.
// Returns 0.
int EnumerateBio(FidoDevice& device, SlotMap& slotMap, TemplateNames& names,
                 DebugOutput& debug = SystemDebugOutput());

// removeEnrollment of the template in `slot`; returns the key's status.
std::uint8_t RemoveBio(FidoDevice& device, std::uint16_t slot, bool withPinAuth);

// setFriendlyName; `name` is bytes of the ANSI code page. Returns the key's status, or
// kCtapRequestTooLarge when the name does not fit a request.
std::uint8_t SetFriendlyName(FidoDevice& device, std::span<const std::uint8_t> templateId,
                             std::string_view name, bool withPinAuth);

}  // namespace kelvora
