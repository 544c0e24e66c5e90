// Reads arbitrary bytes as the answers of the credential management command: the metadata,
// a site and a passkey. Nothing may be read outside the data, what is kept is bounded by it,
// and every name comes out as UTF-8.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "ctap/credential_management.h"
#include "ctap/passkey_response.h"

namespace {

void check(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

// Well-formed UTF-8 reads back unchanged.
void checkUtf8(const std::string& text) {
    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(text.data()),
                                              text.size());
    check(kelvora::RepairedUtf8(bytes) == text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> body(data, size);
    // Each replaced byte becomes three.
    check(kelvora::RepairedUtf8(body).size() <= 3 * size);
    checkUtf8(kelvora::RepairedUtf8(body));

    kelvora::PasskeyMetadata metadata;
    kelvora::ReadMetadataAnswer(body, metadata);

    kelvora::PasskeySite site;
    std::uint32_t total = 0;
    if (kelvora::ReadSiteAnswer(body, site, &total)) {
        check(site.rpIdHash.size() == kelvora::kRpIdHashSize);
        check(site.rpId.size() <= 3 * size && site.rpName.size() <= 3 * size);
        checkUtf8(site.rpId);
        checkUtf8(site.rpName);
    }

    kelvora::Passkey passkey;
    if (kelvora::ReadPasskeyAnswer(body, passkey, &total)) {
        check(!passkey.credentialId.empty());
        check(passkey.credentialId.size() <= kelvora::kMaxCredentialIdSize);
        check(passkey.userId.size() <= size);
        checkUtf8(passkey.userName);
        checkUtf8(passkey.displayName);
    }
    return 0;
}
