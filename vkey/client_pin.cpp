#include "vkey/client_pin.h"

#include <algorithm>

#include "vkey/ctap_reply.h"
#include "vkey/key_crypto.h"

namespace kelvora::vkey {
namespace {

constexpr std::size_t kPaddedPinMinSize = 64;
constexpr std::size_t kPinHashSize = 16;
constexpr std::size_t kMinPinLength = 4;
constexpr std::size_t kMaxPinLength = 63;
constexpr int kMismatchesBeforeAuthBlock = 3;

const CborItem* FindBytes(const CborItem& map, PinRequestKey key) {
    const CborItem* item = FindMember(map, key);
    return item != nullptr && item->type() == CborItem::Type::kBytes ? item : nullptr;
}

CborItem CoseKeyOf(const KeyAgreementKey& key) {
    return CborItem::Map({
        Member(CoseKey::kKty, CborItem::Int(kCoseKtyEc2)),
        Member(CoseKey::kAlg, CborItem::Int(kCoseAlgEcdhEsHkdf256)),
        Member(CoseKey::kCrv, CborItem::Int(kCoseCrvP256)),
        Member(CoseKey::kX, CborItem::ByteString(key.x())),
        Member(CoseKey::kY, CborItem::ByteString(key.y())),
    });
}

// The shared secret with the platform key in member 3, or the status that refuses it.
std::optional<Bytes> SharedSecretFrom(const KeyContext& ctx, const CborItem& request,
                                      CtapStatus& status) {
    const CborItem* platformKey = FindMember(request, PinRequestKey::kKeyAgreement);
    if (platformKey == nullptr || platformKey->type() != CborItem::Type::kMap) {
        status = CtapStatus::kMissingParameter;
        return std::nullopt;
    }
    const CborItem* x = FindMember(*platformKey, CoseKey::kX);
    const CborItem* y = FindMember(*platformKey, CoseKey::kY);
    if (x == nullptr || y == nullptr || x->type() != CborItem::Type::kBytes ||
        y->type() != CborItem::Type::kBytes) {
        status = CtapStatus::kInvalidParameter;
        return std::nullopt;
    }
    std::optional<Bytes> secret =
        key_ops::SessionKeyAgreement(ctx.session).SharedSecret(x->bytes(), y->bytes());
    if (!secret) {
        status = CtapStatus::kInvalidParameter;
    }
    return secret;
}

bool PinAuthMatches(ByteView sharedSecret, ByteView message, const CborItem& pinAuth) {
    const Bytes mac = HmacSha256(sharedSecret, message);
    return ConstantTimeEqual(ByteView(mac).first(kPinAuthSize), pinAuth.bytes());
}

// Decrypts newPinEnc and checks the PIN policy; the PIN's hash on success.
std::optional<Bytes> NewPinHash(ByteView sharedSecret, const CborItem& newPinEnc,
                                CtapStatus& status) {
    if (newPinEnc.bytes().size() < kPaddedPinMinSize) {
        status = CtapStatus::kInvalidParameter;
        return std::nullopt;
    }
    std::optional<Bytes> padded = Aes256CbcDecrypt(sharedSecret, newPinEnc.bytes());
    if (!padded) {
        status = CtapStatus::kInvalidParameter;
        return std::nullopt;
    }
    const auto end = std::find(padded->begin(), padded->end(), std::uint8_t{0});
    const auto length = static_cast<std::size_t>(end - padded->begin());
    if (length < kMinPinLength || length > kMaxPinLength) {
        Wipe(*padded);
        status = CtapStatus::kPinPolicyViolation;
        return std::nullopt;
    }
    Bytes hash = Sha256(ByteView(padded->data(), length));
    Wipe(*padded);
    hash.resize(kPinHashSize);
    return hash;
}

// Checks pinHashEnc against the stored PIN and keeps the counters. kSuccess on a match.
CtapStatus CheckPinHash(KeyContext& ctx, ByteView sharedSecret, const CborItem& pinHashEnc) {
    --ctx.state.pinRetries;
    std::optional<Bytes> hash = Aes256CbcDecrypt(sharedSecret, pinHashEnc.bytes());
    const bool match =
        hash && hash->size() == kPinHashSize && ConstantTimeEqual(*hash, *ctx.state.pinHash);
    if (hash) {
        Wipe(*hash);
    }
    if (match) {
        ctx.state.pinRetries = ctx.config.maxPinRetries;
        ctx.session.consecutivePinFailures = 0;
        return CtapStatus::kSuccess;
    }
    ctx.session.keyAgreement.reset();  // a new one for the next attempt
    ++ctx.session.consecutivePinFailures;
    if (ctx.state.pinRetries <= 0) {
        return CtapStatus::kPinBlocked;
    }
    if (ctx.session.consecutivePinFailures >= kMismatchesBeforeAuthBlock) {
        return CtapStatus::kPinAuthBlocked;
    }
    return CtapStatus::kPinInvalid;
}

// Refusals that come before any PIN is checked.
std::optional<CtapStatus> PinCheckRefused(const KeyContext& ctx) {
    if (!ctx.state.pinSet()) {
        return CtapStatus::kPinNotSet;
    }
    if (ctx.state.pinRetries <= 0) {
        return CtapStatus::kPinBlocked;
    }
    if (ctx.session.consecutivePinFailures >= kMismatchesBeforeAuthBlock) {
        return CtapStatus::kPinAuthBlocked;
    }
    return std::nullopt;
}

Bytes SetPin(KeyContext& ctx, const CborItem& request) {
    const CborItem* pinAuth = FindBytes(request, PinRequestKey::kPinAuth);
    const CborItem* newPinEnc = FindBytes(request, PinRequestKey::kNewPinEnc);
    if (pinAuth == nullptr || newPinEnc == nullptr) {
        return StatusOnly(CtapStatus::kMissingParameter);
    }
    if (ctx.state.pinSet()) {
        return StatusOnly(CtapStatus::kPinAuthInvalid);
    }
    CtapStatus status = CtapStatus::kSuccess;
    std::optional<Bytes> secret = SharedSecretFrom(ctx, request, status);
    if (!secret) {
        return StatusOnly(status);
    }
    if (!PinAuthMatches(*secret, newPinEnc->bytes(), *pinAuth)) {
        Wipe(*secret);
        return StatusOnly(CtapStatus::kPinAuthInvalid);
    }
    std::optional<Bytes> hash = NewPinHash(*secret, *newPinEnc, status);
    Wipe(*secret);
    if (!hash) {
        return StatusOnly(status);
    }
    ctx.state.pinHash = std::move(hash);
    ctx.state.pinRetries = ctx.config.maxPinRetries;
    return StatusOnly(CtapStatus::kSuccess);
}

Bytes ChangePin(KeyContext& ctx, const CborItem& request) {
    const CborItem* pinAuth = FindBytes(request, PinRequestKey::kPinAuth);
    const CborItem* newPinEnc = FindBytes(request, PinRequestKey::kNewPinEnc);
    const CborItem* pinHashEnc = FindBytes(request, PinRequestKey::kPinHashEnc);
    if (pinAuth == nullptr || newPinEnc == nullptr || pinHashEnc == nullptr) {
        return StatusOnly(CtapStatus::kMissingParameter);
    }
    if (std::optional<CtapStatus> refused = PinCheckRefused(ctx)) {
        return StatusOnly(*refused);
    }
    CtapStatus status = CtapStatus::kSuccess;
    std::optional<Bytes> secret = SharedSecretFrom(ctx, request, status);
    if (!secret) {
        return StatusOnly(status);
    }
    Bytes message = newPinEnc->bytes();
    message.insert(message.end(), pinHashEnc->bytes().begin(), pinHashEnc->bytes().end());
    if (!PinAuthMatches(*secret, message, *pinAuth)) {
        Wipe(*secret);
        return StatusOnly(CtapStatus::kPinAuthInvalid);
    }
    status = CheckPinHash(ctx, *secret, *pinHashEnc);
    if (status != CtapStatus::kSuccess) {
        Wipe(*secret);
        return StatusOnly(status);
    }
    std::optional<Bytes> hash = NewPinHash(*secret, *newPinEnc, status);
    Wipe(*secret);
    if (!hash) {
        return StatusOnly(status);
    }
    Wipe(*ctx.state.pinHash);
    ctx.state.pinHash = std::move(hash);
    ctx.session.pinToken = RandomBytes(ctx.session.pinToken.size());  // old tokens die
    return StatusOnly(CtapStatus::kSuccess);
}

Bytes GetPinToken(KeyContext& ctx, const CborItem& request) {
    const CborItem* pinHashEnc = FindBytes(request, PinRequestKey::kPinHashEnc);
    if (pinHashEnc == nullptr) {
        return StatusOnly(CtapStatus::kMissingParameter);
    }
    if (std::optional<CtapStatus> refused = PinCheckRefused(ctx)) {
        return StatusOnly(*refused);
    }
    CtapStatus status = CtapStatus::kSuccess;
    std::optional<Bytes> secret = SharedSecretFrom(ctx, request, status);
    if (!secret) {
        return StatusOnly(status);
    }
    status = CheckPinHash(ctx, *secret, *pinHashEnc);
    if (status != CtapStatus::kSuccess) {
        Wipe(*secret);
        return StatusOnly(status);
    }
    std::optional<Bytes> encrypted = Aes256CbcEncrypt(*secret, ctx.session.pinToken);
    Wipe(*secret);
    if (!encrypted) {
        return StatusOnly(CtapStatus::kOther);
    }
    return Reply(
        CtapStatus::kSuccess,
        CborItem::Map({Member(PinResponseKey::kPinToken, CborItem::ByteString(*encrypted))}));
}

}  // namespace

CommandResult HandleClientPin(KeyContext& ctx, ByteView parameters) {
    const std::optional<CborItem> request = DecodeCbor(parameters);
    if (!request || request->type() != CborItem::Type::kMap) {
        return {StatusOnly(CtapStatus::kInvalidCbor), std::nullopt};
    }
    const CborItem* protocol = FindMember(*request, PinRequestKey::kPinProtocol);
    const CborItem* subcommand = FindMember(*request, PinRequestKey::kSubCommand);
    if (protocol == nullptr || subcommand == nullptr) {
        return {StatusOnly(CtapStatus::kMissingParameter), std::nullopt};
    }
    if (!protocol->IsInteger() || protocol->integer() != kPinProtocolOne ||
        !subcommand->IsInteger()) {
        return {StatusOnly(CtapStatus::kInvalidParameter), std::nullopt};
    }
    switch (static_cast<PinSubcommand>(subcommand->integer())) {
        case PinSubcommand::kGetRetries:
            return {Reply(CtapStatus::kSuccess,
                          CborItem::Map({Member(PinResponseKey::kRetries,
                                                CborItem::Int(ctx.state.pinRetries))})),
                    std::nullopt};
        case PinSubcommand::kGetKeyAgreement:
            return {Reply(CtapStatus::kSuccess,
                          CborItem::Map(
                              {Member(PinResponseKey::kKeyAgreement,
                                      CoseKeyOf(key_ops::SessionKeyAgreement(ctx.session)))})),
                    std::nullopt};
        case PinSubcommand::kSetPin:
            return {SetPin(ctx, *request), std::nullopt};
        case PinSubcommand::kChangePin:
            return {ChangePin(ctx, *request), std::nullopt};
        case PinSubcommand::kGetPinToken:
            return {GetPinToken(ctx, *request), std::nullopt};
    }
    return {StatusOnly(CtapStatus::kInvalidSubcommand), std::nullopt};
}

}  // namespace kelvora::vkey
