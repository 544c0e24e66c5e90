// The legacy secure-messaging unwrap of a protected APDU, as the virtual key does it for every
// APDU a client sends: arbitrary bytes under either cipher with the fixed key. Whatever it
// hands out as data must come from a MAC that checked out.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "transport/device_ids.h"
#include "vkey/secure_messaging_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kelvora::vkey;
    if (size < 1) {
        return 0;
    }
    static const Bytes kKey(kelvora::kSecureMessagingKey.begin(),
                            kelvora::kSecureMessagingKey.end());
    static const Bytes kChallenge = {1, 2, 3, 4, 5, 6, 7, 8};
    const SecureMessagingCipher cipher =
        (data[0] & 1) != 0 ? SecureMessagingCipher::kAes : SecureMessagingCipher::kDes;
    const UnwrappedApdu unwrapped =
        UnwrapSecureApdu(ByteView(data + 1, size - 1), cipher, kKey, kChallenge);
    if (unwrapped.statusWord != 0x9000 && !unwrapped.data.empty()) {
        std::abort();
    }
    if (unwrapped.data.size() > size) {
        std::abort();
    }
    return 0;
}
