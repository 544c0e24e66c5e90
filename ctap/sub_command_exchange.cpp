#include "ctap/sub_command_exchange.h"

#include <algorithm>
#include <array>

#include "ctap/pin_crypto.h"

namespace kelvora {

bool PutPinProtocolOneAuth(CborWriter& writer, const KeyState& state, std::int32_t protocolKey,
                           std::int32_t authKey, std::span<const std::uint8_t> message) {
    const SecretBytes token = state.pinToken.Copy();
    const pin_crypto::PinAuth pinAuth = pin_crypto::Authenticate(token.span(), message);
    const std::uint32_t before = writer.length();
    writer.putInt(protocolKey)
        .putInt(1)
        .putInt(authKey)
        .putBytes(pinAuth.data(), static_cast<std::uint32_t>(pinAuth.size()));
    // Two one-byte keys, protocol one, and the 16-byte string with its one-byte head.
    return writer.length() - before == 4 + pinAuth.size();
}

std::uint8_t SendSubCommandRequest(FidoDevice& device, std::span<const std::uint8_t> request,
                                   std::span<std::uint8_t> response, std::uint32_t& dataLength) {
    std::fill(response.begin(), response.end(), 0);
    dataLength = 0;
    // Read into a buffer of the session's own size: its status byte shares that size, so
    // data never fills it, and a length left untouched means a status byte alone.
    std::array<std::uint8_t, kSubCommandResponseSize> buffer{};
    std::uint32_t length = buffer.size();
    const std::uint8_t status = device.SendCborCommand(
        request.data(), static_cast<std::int32_t>(request.size()), buffer.data(), &length);
    if (length == buffer.size()) {
        return status;
    }
    if (length > response.size()) {
        return kCtapResponseTooLarge;
    }
    std::copy_n(buffer.begin(), length, response.begin());
    dataLength = length;
    return status;
}

}  // namespace kelvora
