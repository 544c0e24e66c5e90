// Credential ids as the command line shows and takes them: base64url without padding
// (RFC 4648 §5), the form browsers and sites use for the same ids.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kelvora::cli {

std::string CredentialIdText(std::span<const std::uint8_t> id);

// Nothing for text that is not base64url (padding, '+' or '/' included) or decodes to no
// bytes, or a length no encoding gives.
std::optional<std::vector<std::uint8_t>> ParseCredentialId(std::string_view text);

}  // namespace kelvora::cli
