#include "vkey/credential_management.h"

#include <algorithm>

#include "vkey/ctap_reply.h"
#include "vkey/key_crypto.h"
#include "vkey/passkey_items.h"

namespace kelvora::vkey {
namespace {

constexpr std::int64_t kCredProtectOptional = 1;

CommandResult Immediate(CtapStatus status) {
    return {StatusOnly(status), std::nullopt};
}

CommandResult Immediate(const CborItem& body) {
    return {Reply(CtapStatus::kSuccess, body), std::nullopt};
}

// Answers the first of `answers` and keeps the rest for GetNext.
CommandResult BeginEnumeration(KeyContext& ctx, std::vector<Bytes> answers) {
    if (answers.empty()) {
        return Immediate(CtapStatus::kNoCredentials);
    }
    Bytes first = std::move(answers.front());
    answers.erase(answers.begin());
    ctx.session.pendingEnumeration = std::move(answers);
    return {std::move(first), std::nullopt};
}

CommandResult NextOfEnumeration(KeyContext& ctx) {
    std::vector<Bytes>& pending = ctx.session.pendingEnumeration;
    if (pending.empty()) {
        return Immediate(CtapStatus::kNotAllowed);
    }
    Bytes next = std::move(pending.front());
    pending.erase(pending.begin());
    return {std::move(next), std::nullopt};
}

CommandResult Metadata(const KeyContext& ctx) {
    const std::size_t held = ctx.state.passkeys.size();
    const std::size_t capacity = ctx.config.passkeyCapacity();
    return Immediate(CborItem::Map({
        Member(CredManResponseKey::kExistingCount, CborItem::Int(static_cast<std::int64_t>(held))),
        Member(CredManResponseKey::kRemainingCount,
               CborItem::Int(static_cast<std::int64_t>(capacity > held ? capacity - held : 0))),
    }));
}

CommandResult EnumerateRps(KeyContext& ctx) {
    std::vector<const StoredPasskey*> sites;
    for (const StoredPasskey& passkey : ctx.state.passkeys) {
        if (std::none_of(sites.begin(), sites.end(),
                         [&](const StoredPasskey* site) { return site->rpId == passkey.rpId; })) {
            sites.push_back(&passkey);
        }
    }
    std::vector<Bytes> answers;
    for (const StoredPasskey* site : sites) {
        std::vector<CborItem::Pair> members{
            Member(CredManResponseKey::kRp, RpItem(*site)),
            Member(CredManResponseKey::kRpIdHash,
                   CborItem::ByteString(Sha256(Bytes(site->rpId.begin(), site->rpId.end())))),
        };
        if (answers.empty()) {
            members.push_back(Member(CredManResponseKey::kTotalRps,
                                     CborItem::Int(static_cast<std::int64_t>(sites.size()))));
        }
        answers.push_back(Reply(CtapStatus::kSuccess, CborItem::Map(std::move(members))));
    }
    return BeginEnumeration(ctx, std::move(answers));
}

CommandResult EnumerateCredentials(KeyContext& ctx, const CborItem* params) {
    const CborItem* hash =
        params == nullptr ? nullptr : FindMember(*params, CredManParamKey::kRpIdHash);
    if (hash == nullptr || hash->type() != CborItem::Type::kBytes) {
        return Immediate(CtapStatus::kMissingParameter);
    }
    std::vector<const StoredPasskey*> found;
    for (const StoredPasskey& passkey : ctx.state.passkeys) {
        if (Sha256(Bytes(passkey.rpId.begin(), passkey.rpId.end())) == hash->bytes()) {
            found.push_back(&passkey);
        }
    }
    std::vector<Bytes> answers;
    for (const StoredPasskey* passkey : found) {
        std::vector<CborItem::Pair> members{
            Member(CredManResponseKey::kUser, UserItem(*passkey)),
            Member(CredManResponseKey::kCredentialId, CredentialDescriptor(passkey->credentialId)),
            Member(CredManResponseKey::kPublicKey, PublicKeyItem(*passkey)),
            Member(CredManResponseKey::kCredProtect, CborItem::Int(kCredProtectOptional)),
        };
        if (answers.empty()) {
            members.push_back(Member(CredManResponseKey::kTotalCredentials,
                                     CborItem::Int(static_cast<std::int64_t>(found.size()))));
        }
        answers.push_back(Reply(CtapStatus::kSuccess, CborItem::Map(std::move(members))));
    }
    return BeginEnumeration(ctx, std::move(answers));
}

CommandResult DeleteCredential(KeyContext& ctx, const CborItem* params) {
    const CborItem* descriptor =
        params == nullptr ? nullptr : FindMember(*params, CredManParamKey::kCredentialId);
    const std::optional<Bytes> id =
        descriptor == nullptr ? std::nullopt : DescriptorId(*descriptor);
    if (!id) {
        return Immediate(CtapStatus::kMissingParameter);
    }
    std::vector<StoredPasskey>& passkeys = ctx.state.passkeys;
    const auto found = std::find_if(passkeys.begin(), passkeys.end(),
                                    [&](const StoredPasskey& p) { return p.credentialId == *id; });
    if (found == passkeys.end()) {
        return Immediate(CtapStatus::kNoCredentials);
    }
    Wipe(found->privateKey);
    passkeys.erase(found);
    return Immediate(CtapStatus::kSuccess);
}

bool IsGetNext(CredManSubcommand subcommand) {
    return subcommand == CredManSubcommand::kEnumerateRpsGetNextRp ||
           subcommand == CredManSubcommand::kEnumerateCredentialsGetNextCredential;
}

}  // namespace

CommandResult HandleCredentialManagement(KeyContext& ctx, ByteView parameters) {
    const std::optional<CborItem> request = DecodeCbor(parameters);
    if (!request || request->type() != CborItem::Type::kMap) {
        ctx.session.pendingEnumeration.clear();
        return Immediate(CtapStatus::kInvalidCbor);
    }
    const CborItem* subcommandItem = FindMember(*request, CredManRequestKey::kSubCommand);
    if (subcommandItem == nullptr || !subcommandItem->IsInteger()) {
        ctx.session.pendingEnumeration.clear();
        return Immediate(CtapStatus::kMissingParameter);
    }
    const auto subcommand = static_cast<CredManSubcommand>(subcommandItem->integer());
    if (IsGetNext(subcommand)) {
        return NextOfEnumeration(ctx);
    }
    ctx.session.pendingEnumeration.clear();

    const CborItem* params = FindMember(*request, CredManRequestKey::kSubCommandParams);
    const CborItem* pinAuth = FindMember(*request, CredManRequestKey::kPinAuth);
    if (pinAuth == nullptr) {
        return Immediate(ctx.state.pinSet() ? CtapStatus::kPinRequired : CtapStatus::kPinNotSet);
    }
    Bytes message{static_cast<std::uint8_t>(subcommandItem->integer())};
    if (params != nullptr) {
        message.insert(message.end(), params->raw().begin(), params->raw().end());
    }
    bool verified = false;
    if (const std::optional<CtapStatus> refused =
            CheckMessagePinAuth(ctx, pinAuth, FindMember(*request, CredManRequestKey::kPinProtocol),
                                message, verified)) {
        return Immediate(*refused);
    }
    switch (subcommand) {
        case CredManSubcommand::kGetCredsMetadata:
            return Metadata(ctx);
        case CredManSubcommand::kEnumerateRpsBegin:
            return EnumerateRps(ctx);
        case CredManSubcommand::kEnumerateCredentialsBegin:
            return EnumerateCredentials(ctx, params);
        case CredManSubcommand::kDeleteCredential:
            return DeleteCredential(ctx, params);
        default:
            break;
    }
    return Immediate(CtapStatus::kInvalidSubcommand);
}

}  // namespace kelvora::vkey
