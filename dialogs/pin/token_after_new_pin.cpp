#include "dialogs/pin/token_after_new_pin.h"

#include "ctap/client_pin.h"
#include "ctap/status.h"

namespace kelvora {

int TokenAfterNewPin::Fetch(FidoDevice& device, std::string_view pinUtf8) {
    const int status = RefreshPinToken(device, pinUtf8);
    if (status == kCtapSuccess) {
        pin_.Clear();
    } else if (pin_.empty()) {
        pin_ = SecretBytes(std::span<const std::uint8_t>(
            reinterpret_cast<const std::uint8_t*>(pinUtf8.data()), pinUtf8.size()));
    }
    return status;
}

int TokenAfterNewPin::Retry(FidoDevice& device) {
    const std::string_view kept(reinterpret_cast<const char*>(pin_.data()), pin_.size());
    return Fetch(device, kept);
}

}  // namespace kelvora
