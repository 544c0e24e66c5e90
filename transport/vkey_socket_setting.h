// The KELVORA_VKEY setting: a virtual key daemon (kelvora-vkey) to list beside the system's
// HID interfaces, written PATH[:MODEL]. PATH is the daemon's Unix-domain socket; MODEL is
// the key's position in the supported product list, 1 to 7, and decides the product id the
// interface is listed with (3, the first CTAP2 model, when left out). The text after the
// last ':' is always taken as the model, so a path that contains ':' needs the model
// written out ("/run/a:b/vkey.sock:3").
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kelvora {

inline constexpr char kVkeyEnvironmentVariable[] = "KELVORA_VKEY";
inline constexpr int kDefaultVkeyModel = 3;

struct VkeySocketSetting {
    std::string socketPath;
    int model = kDefaultVkeyModel;
    std::uint16_t productId() const;
};

// False, with `error` saying what is wrong in words a user can act on, when `text` is not
// PATH[:MODEL].
bool ParseVkeySocketSetting(std::string_view text, VkeySocketSetting& setting, std::string& error);

}  // namespace kelvora
