#include "vkey/sample_passkeys.h"

#include <string>

#include "vkey/key_crypto.h"
#include "vkey/signing_key.h"

namespace kelvora::vkey {
namespace {

constexpr std::size_t kSites = 3;
constexpr std::size_t kCredentialIdSize = 32;

}  // namespace

bool AddSamplePasskeys(State& state, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        std::optional<SigningKey> key = GenerateSigningKey();
        Bytes credentialId = RandomBytes(kCredentialIdSize);
        if (!key || credentialId.size() != kCredentialIdSize) {
            return false;
        }
        const std::string number = std::to_string(i + 1);
        const std::string site = std::to_string(i % kSites + 1);
        StoredPasskey passkey;
        passkey.credentialId = std::move(credentialId);
        passkey.rpId = "site" + site + ".example";
        passkey.rpName = "Site " + site;
        passkey.userId = Bytes(number.begin(), number.end());
        passkey.userName = "user" + number + "@site" + site + ".example";
        passkey.displayName = "User " + number;
        passkey.privateKey = std::move(key->privateKey);
        state.passkeys.push_back(std::move(passkey));
    }
    return true;
}

}  // namespace kelvora::vkey
