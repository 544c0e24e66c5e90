#include "ctap/passkey_response.h"

#include <string_view>

#include "cbor/cbor_view.h"
#include "ctap/credential_management.h"

namespace kelvora {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

CborView Body(std::span<const std::uint8_t> body) {
    return CborView(body.data(), static_cast<std::uint32_t>(body.size()));
}

CborView Member(const CborView& map, CredManResponseKey key) {
    return map.findKey(static_cast<std::int32_t>(key));
}

CborView Named(const CborView& map, std::string_view name) {
    return map.findText(name.data(), static_cast<std::uint32_t>(name.size()));
}

// An optional text member: empty when missing or not text.
std::string OptionalText(const CborView& map, std::string_view name) {
    const char* text = nullptr;
    std::uint32_t length = 0;
    if (!Named(map, name).getText(text, length)) {
        return {};
    }
    return RepairedUtf8({reinterpret_cast<const std::uint8_t*>(text), length});
}

bool ReadBytes(const CborView& value, std::vector<std::uint8_t>& out) {
    const std::uint8_t* data = nullptr;
    std::uint32_t length = 0;
    if (!value.getBytes(data, length)) {
        return false;
    }
    out.assign(data, data + length);
    return true;
}

bool IsMap(const CborView& value) {
    return value.getMajorType() == toByte(CborMajorType::kMap);
}

// The length of the well-formed sequence at `at`, 0 when there is none.
std::size_t SequenceLength(std::span<const std::uint8_t> bytes, std::size_t at) {
    const std::uint8_t lead = bytes[at];
    if (lead < 0x80) {
        return 1;
    }
    std::size_t length = 0;
    std::uint8_t low = 0x80;
    std::uint8_t high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;   // no overlong forms
        high = lead == 0xED ? 0x9F : 0xBF;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;  // nothing beyond U+10FFFF
    } else {
        return 0;
    }
    if (bytes.size() - at < length || bytes[at + 1] < low || bytes[at + 1] > high) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if ((bytes[at + i] & 0xC0) != 0x80) {
            return 0;
        }
    }
    return length;
}

}  // namespace

std::size_t PasskeyCount(const std::vector<PasskeySite>& sites) {
    std::size_t count = 0;
    for (const PasskeySite& site : sites) {
        count += site.passkeys.size();
    }
    return count;
}

std::string RepairedUtf8(std::span<const std::uint8_t> bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t length = SequenceLength(bytes, at);
        if (length == 0) {
            out += kReplacement;
            ++at;
            continue;
        }
        out.append(reinterpret_cast<const char*>(bytes.data() + at), length);
        at += length;
    }
    return out;
}

bool ReadMetadataAnswer(std::span<const std::uint8_t> body, PasskeyMetadata& metadata) {
    const CborView map = Body(body);
    return Member(map, CredManResponseKey::kExistingCount).getUnsigned(metadata.existing) &&
           Member(map, CredManResponseKey::kRemainingCount).getUnsigned(metadata.remaining);
}

bool ReadSiteAnswer(std::span<const std::uint8_t> body, PasskeySite& site, std::uint32_t* total) {
    const CborView map = Body(body);
    const CborView rp = Member(map, CredManResponseKey::kRp);
    const char* id = nullptr;
    std::uint32_t idLength = 0;
    if (!IsMap(rp) || !Named(rp, "id").getText(id, idLength) ||
        !ReadBytes(Member(map, CredManResponseKey::kRpIdHash), site.rpIdHash) ||
        site.rpIdHash.size() != kRpIdHashSize) {
        return false;
    }
    if (total != nullptr && !Member(map, CredManResponseKey::kTotalRps).getUnsigned(*total)) {
        return false;
    }
    site.rpId = RepairedUtf8({reinterpret_cast<const std::uint8_t*>(id), idLength});
    site.rpName = OptionalText(rp, "name");
    return true;
}

bool ReadPasskeyAnswer(std::span<const std::uint8_t> body, Passkey& passkey, std::uint32_t* total) {
    const CborView map = Body(body);
    const CborView user = Member(map, CredManResponseKey::kUser);
    const CborView descriptor = Member(map, CredManResponseKey::kCredentialId);
    if (!IsMap(user) || !IsMap(descriptor) ||
        !ReadBytes(Named(descriptor, "id"), passkey.credentialId) || passkey.credentialId.empty() ||
        passkey.credentialId.size() > kMaxCredentialIdSize) {
        return false;
    }
    if (total != nullptr &&
        !Member(map, CredManResponseKey::kTotalCredentials).getUnsigned(*total)) {
        return false;
    }
    if (!ReadBytes(Named(user, "id"), passkey.userId)) {
        passkey.userId.clear();
    }
    passkey.userName = OptionalText(user, "name");
    passkey.displayName = OptionalText(user, "displayName");
    return true;
}

}  // namespace kelvora
