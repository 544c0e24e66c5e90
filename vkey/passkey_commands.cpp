#include "vkey/passkey_commands.h"

#include <algorithm>

#include "vkey/ctap_reply.h"
#include "vkey/get_info.h"
#include "vkey/key_crypto.h"
#include "vkey/passkey_items.h"
#include "vkey/signing_key.h"

namespace kelvora::vkey {
namespace {

constexpr std::size_t kClientDataHashSize = 32;
constexpr std::size_t kCredentialIdSize = 32;
constexpr std::size_t kMaxUserIdSize = 64;
constexpr std::uint8_t kFlagUserPresent = 0x01;
constexpr std::uint8_t kFlagUserVerified = 0x04;
constexpr std::uint8_t kFlagAttestedData = 0x40;

CommandResult Immediate(CtapStatus status) {
    return {StatusOnly(status), std::nullopt};
}

std::string TextOf(const CborItem* map, std::string_view name) {
    const CborItem* value = map == nullptr ? nullptr : map->Find(name);
    if (value == nullptr || value->type() != CborItem::Type::kText) {
        return {};
    }
    return std::string(value->bytes().begin(), value->bytes().end());
}

// A boolean option, `fallback` when absent.
bool Option(const CborItem* options, std::string_view name, bool fallback) {
    const CborItem* value = options == nullptr ? nullptr : options->Find(name);
    return value != nullptr && value->type() == CborItem::Type::kBool ? value->boolean() : fallback;
}

bool OffersEs256(const CborItem& params) {
    if (params.type() != CborItem::Type::kArray) {
        return false;
    }
    return std::any_of(params.items().begin(), params.items().end(), [](const CborItem& item) {
        const CborItem* alg = item.Find("alg");
        return alg != nullptr && alg->IsInteger() && alg->integer() == kCoseAlgEs256 &&
               TextOf(&item, "type") == "public-key";
    });
}

// The credential ids a list of descriptors names; descriptors of another form are skipped.
std::vector<Bytes> DescriptorIds(const CborItem* list) {
    std::vector<Bytes> ids;
    if (list == nullptr || list->type() != CborItem::Type::kArray) {
        return ids;
    }
    for (const CborItem& item : list->items()) {
        if (std::optional<Bytes> id = DescriptorId(item)) {
            ids.push_back(std::move(*id));
        }
    }
    return ids;
}

void AppendBigEndian32(Bytes& out, std::uint32_t value) {
    AppendBigEndian16(out, static_cast<std::uint16_t>(value >> 16));
    AppendBigEndian16(out, static_cast<std::uint16_t>(value));
}

Bytes AuthDataHead(const std::string& rpId, std::uint8_t flags, std::uint32_t signCount) {
    Bytes authData = Sha256(Bytes(rpId.begin(), rpId.end()));
    authData.push_back(flags);
    AppendBigEndian32(authData, signCount);
    return authData;
}

Bytes Concatenated(const Bytes& first, const Bytes& second) {
    Bytes joined = first;
    joined.insert(joined.end(), second.begin(), second.end());
    return joined;
}

struct Creation {
    StoredPasskey passkey;  // without its key until the touch
    Bytes clientDataHash;
    bool verified = false;
};

Bytes CompleteCreation(KeyContext& ctx, Creation creation) {
    std::optional<SigningKey> key = GenerateSigningKey();
    Bytes credentialId = RandomBytes(kCredentialIdSize);
    if (!key || credentialId.size() != kCredentialIdSize) {
        return StatusOnly(CtapStatus::kOther);
    }
    StoredPasskey& passkey = creation.passkey;
    passkey.credentialId = std::move(credentialId);
    passkey.privateKey = key->privateKey;
    Wipe(key->privateKey);

    const std::uint8_t flags = kFlagUserPresent | kFlagAttestedData |
                               (creation.verified ? kFlagUserVerified : std::uint8_t{0});
    Bytes authData = AuthDataHead(passkey.rpId, flags, passkey.signCount);
    const Bytes aaguid = Aaguid(ctx.config);
    authData.insert(authData.end(), aaguid.begin(), aaguid.end());
    AppendBigEndian16(authData, static_cast<std::uint16_t>(passkey.credentialId.size()));
    authData.insert(authData.end(), passkey.credentialId.begin(), passkey.credentialId.end());
    EncodeCbor(PublicKeyItem(passkey), authData);
    const std::optional<Bytes> signature =
        SignEs256(passkey.privateKey, Concatenated(authData, creation.clientDataHash));
    if (!signature) {
        Wipe(passkey.privateKey);
        return StatusOnly(CtapStatus::kOther);
    }

    std::vector<StoredPasskey>& passkeys = ctx.state.passkeys;
    passkeys.erase(std::remove_if(passkeys.begin(), passkeys.end(),
                                  [&](const StoredPasskey& held) {
                                      return held.rpId == passkey.rpId &&
                                             held.userId == passkey.userId;
                                  }),
                   passkeys.end());
    passkeys.push_back(passkey);
    return Reply(CtapStatus::kSuccess,
                 CborItem::Map({
                     Member(AttestationKey::kFmt, CborItem::Text("packed")),
                     Member(AttestationKey::kAuthData, CborItem::ByteString(authData)),
                     Member(AttestationKey::kAttStmt,
                            CborItem::Map({
                                {CborItem::Text("alg"), CborItem::Int(kCoseAlgEs256)},
                                {CborItem::Text("sig"), CborItem::ByteString(*signature)},
                            })),
                 }));
}

// A wait for the touch that completes `action`, as reset waits.
template <typename Action>
CommandResult AfterTouch(KeyContext& ctx, Action action) {
    FingerWait wait;
    wait.timeoutMs = ctx.config.presenceTimeoutMs;
    wait.autoFinger = key_ops::AutoVerifyFinger(ctx);
    wait.complete = [action = std::move(action)](const FingerOutcome& outcome) mutable {
        if (std::optional<Bytes> ended = NoFingerReply(outcome)) {
            return *ended;
        }
        return action();
    };
    return {Bytes{}, std::move(wait)};
}

// Signs with the passkey `credentialId`; `count`, when given, is numberOfCredentials.
Bytes Assert(KeyContext& ctx, const Bytes& credentialId, const Bytes& clientDataHash,
             std::uint8_t flags, std::optional<std::size_t> count = std::nullopt) {
    std::vector<StoredPasskey>& passkeys = ctx.state.passkeys;
    const auto found = std::find_if(passkeys.begin(), passkeys.end(), [&](const StoredPasskey& p) {
        return p.credentialId == credentialId;
    });
    if (found == passkeys.end()) {
        return StatusOnly(CtapStatus::kNoCredentials);
    }
    ++found->signCount;
    const Bytes authData = AuthDataHead(found->rpId, flags, found->signCount);
    const std::optional<Bytes> signature =
        SignEs256(found->privateKey, Concatenated(authData, clientDataHash));
    if (!signature) {
        return StatusOnly(CtapStatus::kOther);
    }
    StoredPasskey shown = *found;
    if ((flags & kFlagUserVerified) == 0) {
        // Names only go to a host that proved the PIN.
        shown.userName.clear();
        shown.displayName.clear();
    }
    std::vector<CborItem::Pair> members{
        Member(AssertionKey::kCredential, CredentialDescriptor(found->credentialId)),
        Member(AssertionKey::kAuthData, CborItem::ByteString(authData)),
        Member(AssertionKey::kSignature, CborItem::ByteString(*signature)),
        Member(AssertionKey::kUser, UserItem(shown)),
    };
    if (count) {
        members.push_back(Member(AssertionKey::kNumberOfCredentials,
                                 CborItem::Int(static_cast<std::int64_t>(*count))));
    }
    return Reply(CtapStatus::kSuccess, CborItem::Map(std::move(members)));
}

}  // namespace

CommandResult HandlePasskeyCreation(KeyContext& ctx, const CborItem& request) {
    const CborItem* options = FindMember(request, MakeCredentialKey::kOptions);
    if (Option(options, "uv", false) || !Option(options, "rk", false)) {
        return Immediate(CtapStatus::kUnsupportedOption);
    }
    if (!OffersEs256(*FindMember(request, MakeCredentialKey::kPubKeyCredParams))) {
        return Immediate(CtapStatus::kUnsupportedAlgorithm);
    }
    const CborItem& user = *FindMember(request, MakeCredentialKey::kUser);
    const CborItem* userId = user.Find("id");
    if (user.type() != CborItem::Type::kMap || userId == nullptr ||
        userId->type() != CborItem::Type::kBytes || userId->bytes().empty() ||
        userId->bytes().size() > kMaxUserIdSize) {
        return Immediate(CtapStatus::kInvalidParameter);
    }
    Creation creation;
    creation.clientDataHash = FindMember(request, MakeCredentialKey::kClientDataHash)->bytes();
    if (const std::optional<CtapStatus> refused =
            CheckMessagePinAuth(ctx, FindMember(request, MakeCredentialKey::kPinAuth),
                                FindMember(request, MakeCredentialKey::kPinProtocol),
                                creation.clientDataHash, creation.verified)) {
        return Immediate(*refused);
    }
    if (ctx.state.pinSet() && !creation.verified) {
        return Immediate(CtapStatus::kPinRequired);
    }
    const CborItem* rp = FindMember(request, MakeCredentialKey::kRp);
    StoredPasskey& passkey = creation.passkey;
    passkey.rpId = TextOf(rp, "id");
    passkey.rpName = TextOf(rp, "name");
    passkey.userId = userId->bytes();
    passkey.userName = TextOf(&user, "name");
    passkey.displayName = TextOf(&user, "displayName");

    const std::vector<const StoredPasskey*> held = PasskeysOf(ctx.state, passkey.rpId);
    for (const Bytes& excluded :
         DescriptorIds(FindMember(request, MakeCredentialKey::kExcludeList))) {
        if (std::any_of(held.begin(), held.end(),
                        [&](const StoredPasskey* p) { return p->credentialId == excluded; })) {
            return Immediate(CtapStatus::kCredentialExcluded);
        }
    }
    const bool replaces = std::any_of(held.begin(), held.end(), [&](const StoredPasskey* p) {
        return p->userId == passkey.userId;
    });
    if (!replaces && ctx.state.passkeys.size() >= ctx.config.passkeyCapacity()) {
        return Immediate(CtapStatus::kKeyStoreFull);
    }
    return AfterTouch(ctx, [&ctx, creation = std::move(creation)]() mutable {
        return CompleteCreation(ctx, std::move(creation));
    });
}

CommandResult HandleGetAssertion(KeyContext& ctx, ByteView parameters) {
    ctx.session.pendingAssertions.reset();
    const std::optional<CborItem> request = DecodeCbor(parameters);
    if (!request || request->type() != CborItem::Type::kMap) {
        return Immediate(CtapStatus::kInvalidCbor);
    }
    const CborItem* rpId = FindMember(*request, GetAssertionKey::kRpId);
    const CborItem* hash = FindMember(*request, GetAssertionKey::kClientDataHash);
    if (rpId == nullptr || hash == nullptr) {
        return Immediate(CtapStatus::kMissingParameter);
    }
    if (rpId->type() != CborItem::Type::kText || hash->type() != CborItem::Type::kBytes ||
        hash->bytes().size() != kClientDataHashSize) {
        return Immediate(CtapStatus::kInvalidParameter);
    }
    const CborItem* options = FindMember(*request, GetAssertionKey::kOptions);
    if (Option(options, "uv", false) || (options != nullptr && options->Find("rk") != nullptr)) {
        return Immediate(CtapStatus::kUnsupportedOption);
    }
    bool verified = false;
    if (const std::optional<CtapStatus> refused = CheckMessagePinAuth(
            ctx, FindMember(*request, GetAssertionKey::kPinAuth),
            FindMember(*request, GetAssertionKey::kPinProtocol), hash->bytes(), verified)) {
        return Immediate(*refused);
    }
    const std::string site(rpId->bytes().begin(), rpId->bytes().end());
    std::vector<const StoredPasskey*> candidates = PasskeysOf(ctx.state, site);
    const CborItem* allowList = FindMember(*request, GetAssertionKey::kAllowList);
    if (allowList != nullptr) {
        const std::vector<Bytes> allowed = DescriptorIds(allowList);
        std::erase_if(candidates, [&](const StoredPasskey* p) {
            return std::find(allowed.begin(), allowed.end(), p->credentialId) == allowed.end();
        });
    }
    if (candidates.empty()) {
        return Immediate(CtapStatus::kNoCredentials);
    }
    const bool presence = Option(options, "up", true);
    const std::uint8_t flags = (presence ? kFlagUserPresent : std::uint8_t{0}) |
                               (verified ? kFlagUserVerified : std::uint8_t{0});
    PendingAssertions all{{}, hash->bytes(), flags};
    for (const StoredPasskey* candidate : candidates) {
        all.credentialIds.push_back(candidate->credentialId);
    }
    const bool counted = allowList == nullptr && all.credentialIds.size() > 1;
    auto first = [&ctx, all = std::move(all), counted]() mutable {
        const std::size_t count = all.credentialIds.size();
        const Bytes id = all.credentialIds.front();
        Bytes reply = Assert(ctx, id, all.clientDataHash, all.flags,
                             counted ? std::optional(count) : std::nullopt);
        if (counted) {
            all.credentialIds.erase(all.credentialIds.begin());
            ctx.session.pendingAssertions = std::move(all);
        }
        return reply;
    };
    if (!presence) {
        return {first(), std::nullopt};
    }
    return AfterTouch(ctx, std::move(first));
}

CommandResult HandleGetNextAssertion(KeyContext& ctx) {
    std::optional<PendingAssertions>& pending = ctx.session.pendingAssertions;
    if (!pending || pending->credentialIds.empty()) {
        pending.reset();
        return Immediate(CtapStatus::kNotAllowed);
    }
    const Bytes id = pending->credentialIds.front();
    pending->credentialIds.erase(pending->credentialIds.begin());
    return {Assert(ctx, id, pending->clientDataHash, pending->flags), std::nullopt};
}

}  // namespace kelvora::vkey
