// Every reader of a key's GetInfo and ClientPIN answers over the same arbitrary bytes: none
// may read outside them, and what they hand out must lie inside them.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "ctap/client_pin_request.h"
#include "ctap/get_info.h"
#include "ctap/get_info_details.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto length = static_cast<std::uint32_t>(size);
    kelvora::ParseInfoOptions(data, length);
    const kelvora::AuthenticatorDetails details = kelvora::ParseAuthenticatorDetails(data, length);
    if (details.options.size() > size || details.versions.size() > size) {
        std::abort();
    }
    kelvora::ParseRetries(data, length);

    std::array<std::uint8_t, kelvora::pin_crypto::kCoordinateLength> x{};
    std::array<std::uint8_t, kelvora::pin_crypto::kCoordinateLength> y{};
    kelvora::ParseKeyAgreement(data, length, x, y);

    const std::span<const std::uint8_t> token = kelvora::ParsePinTokenEnc(data, length);
    if (!token.empty() && (token.data() < data || token.data() + token.size() > data + size)) {
        std::abort();
    }
    return 0;
}
