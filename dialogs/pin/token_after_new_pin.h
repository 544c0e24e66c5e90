// The token a dialog fetches with the PIN it has just given the key. When fetching fails
// (a key agreement that went wrong), the PIN the key took is kept, so that confirming again
// only fetches the token: a key that has that PIN now would refuse a second set or change.
#pragma once

#include <string_view>

#include "transport/fido_device.h"
#include "transport/pin_token.h"

namespace kelvora {

class TokenAfterNewPin {
  public:
    // A PIN the key took whose token is still missing.
    bool Pending() const { return !pin_.empty(); }
    // Fetches the token with `pinUtf8`, the PIN the key has just taken; returns the status.
    int Fetch(FidoDevice& device, std::string_view pinUtf8);
    // Fetches it again with the kept PIN.
    int Retry(FidoDevice& device);

  private:
    SecretBytes pin_;
};

}  // namespace kelvora
