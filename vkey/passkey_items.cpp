#include "vkey/passkey_items.h"

#include "vkey/ctap_reply.h"
#include "vkey/key_crypto.h"
#include "vkey/signing_key.h"

namespace kelvora::vkey {

CborItem CredentialDescriptor(ByteView credentialId) {
    return CborItem::Map({
        {CborItem::Text("id"), CborItem::ByteString(credentialId)},
        {CborItem::Text("type"), CborItem::Text("public-key")},
    });
}

CborItem PublicKeyItem(const StoredPasskey& passkey) {
    const std::optional<SigningKey> key = SigningKeyFrom(passkey.privateKey);
    if (!key) {
        return CborItem::Map({});
    }
    return CborItem::Map({
        Member(CoseKey::kKty, CborItem::Int(kCoseKtyEc2)),
        Member(CoseKey::kAlg, CborItem::Int(kCoseAlgEs256)),
        Member(CoseKey::kCrv, CborItem::Int(kCoseCrvP256)),
        Member(CoseKey::kX, CborItem::ByteString(key->x)),
        Member(CoseKey::kY, CborItem::ByteString(key->y)),
    });
}

CborItem UserItem(const StoredPasskey& passkey) {
    std::vector<CborItem::Pair> members{
        {CborItem::Text("id"), CborItem::ByteString(passkey.userId)}};
    if (!passkey.userName.empty()) {
        members.emplace_back(CborItem::Text("name"), CborItem::Text(passkey.userName));
    }
    if (!passkey.displayName.empty()) {
        members.emplace_back(CborItem::Text("displayName"), CborItem::Text(passkey.displayName));
    }
    return CborItem::Map(std::move(members));
}

CborItem RpItem(const StoredPasskey& passkey) {
    std::vector<CborItem::Pair> members{{CborItem::Text("id"), CborItem::Text(passkey.rpId)}};
    if (!passkey.rpName.empty()) {
        members.emplace_back(CborItem::Text("name"), CborItem::Text(passkey.rpName));
    }
    return CborItem::Map(std::move(members));
}

std::optional<Bytes> DescriptorId(const CborItem& descriptor) {
    const CborItem* id = descriptor.Find("id");
    if (id == nullptr || id->type() != CborItem::Type::kBytes) {
        return std::nullopt;
    }
    return id->bytes();
}

std::optional<CtapStatus> CheckMessagePinAuth(const KeyContext& ctx, const CborItem* pinAuth,
                                              const CborItem* protocol, ByteView message,
                                              bool& verified) {
    verified = false;
    if (pinAuth == nullptr) {
        return std::nullopt;
    }
    if (protocol == nullptr) {
        return CtapStatus::kMissingParameter;
    }
    if (!protocol->IsInteger() || protocol->integer() != kPinProtocolOne ||
        pinAuth->type() != CborItem::Type::kBytes) {
        return CtapStatus::kInvalidParameter;
    }
    if (!ctx.state.pinSet()) {
        return CtapStatus::kPinNotSet;
    }
    const Bytes mac = HmacSha256(ctx.session.pinToken, message);
    if (!ConstantTimeEqual(ByteView(mac).first(kPinAuthSize), pinAuth->bytes())) {
        return CtapStatus::kPinAuthInvalid;
    }
    verified = true;
    return std::nullopt;
}

std::vector<const StoredPasskey*> PasskeysOf(const State& state, const std::string& rpId) {
    std::vector<const StoredPasskey*> found;
    for (auto it = state.passkeys.rbegin(); it != state.passkeys.rend(); ++it) {
        if (it->rpId == rpId) {
            found.push_back(&*it);
        }
    }
    return found;
}

}  // namespace kelvora::vkey
