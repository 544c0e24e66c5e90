#include "vkey/fingerprint_test.h"

#include "vkey/ctap_reply.h"
#include "vkey/key_crypto.h"
#include "vkey/passkey_commands.h"

namespace kelvora::vkey {
namespace {

constexpr std::size_t kClientDataHashSize = 32;
constexpr std::uint8_t kFlagUserPresent = 0x01;
constexpr std::uint8_t kFlagUserVerified = 0x04;
constexpr std::size_t kSignCountSize = 4;

Bytes AttestationBody(const Bytes& rpId) {
    Bytes authData = Sha256(rpId);
    authData.push_back(kFlagUserPresent | kFlagUserVerified);
    authData.insert(authData.end(), kSignCountSize, 0);
    return EncodeCbor(CborItem::Map({
        Member(AttestationKey::kFmt, CborItem::Text("none")),
        Member(AttestationKey::kAuthData, CborItem::ByteString(authData)),
        Member(AttestationKey::kAttStmt, CborItem::Map({})),
    }));
}

bool IsFingerprintTest(const CborItem& request) {
    const CborItem* options = FindMember(request, MakeCredentialKey::kOptions);
    const CborItem* uv = options != nullptr ? options->Find("uv") : nullptr;
    const CborItem* pinAuth = FindMember(request, MakeCredentialKey::kPinAuth);
    return uv != nullptr && uv->type() == CborItem::Type::kBool && uv->boolean() &&
           pinAuth != nullptr && pinAuth->type() == CborItem::Type::kBytes &&
           pinAuth->bytes().empty();
}

}  // namespace

CommandResult HandleMakeCredential(KeyContext& ctx, ByteView parameters) {
    const std::optional<CborItem> request = DecodeCbor(parameters);
    if (!request || request->type() != CborItem::Type::kMap) {
        return {StatusOnly(CtapStatus::kInvalidCbor), std::nullopt};
    }
    const CborItem* hash = FindMember(*request, MakeCredentialKey::kClientDataHash);
    const CborItem* rp = FindMember(*request, MakeCredentialKey::kRp);
    const CborItem* rpId = rp != nullptr ? rp->Find("id") : nullptr;
    if (hash == nullptr || rpId == nullptr ||
        FindMember(*request, MakeCredentialKey::kUser) == nullptr ||
        FindMember(*request, MakeCredentialKey::kPubKeyCredParams) == nullptr) {
        return {StatusOnly(CtapStatus::kMissingParameter), std::nullopt};
    }
    if (hash->type() != CborItem::Type::kBytes || hash->bytes().size() != kClientDataHashSize ||
        rpId->type() != CborItem::Type::kText) {
        return {StatusOnly(CtapStatus::kInvalidParameter), std::nullopt};
    }
    if (!IsFingerprintTest(*request)) {
        return HandlePasskeyCreation(ctx, *request);
    }
    if (!ctx.state.templates.empty() && ctx.state.fingerprintRetries <= 0) {
        return {StatusOnly(CtapStatus::kKeyStoreFull), std::nullopt};
    }

    FingerWait wait;
    wait.timeoutMs = ctx.config.verifyTimeoutMs;
    wait.autoFinger = key_ops::AutoVerifyFinger(ctx);
    wait.complete = [&ctx, rpIdBytes = rpId->bytes()](const FingerOutcome& outcome) {
        if (std::optional<Bytes> ended = NoFingerReply(outcome)) {
            return *ended;
        }
        if (ctx.state.templates.empty()) {
            return StatusOnly(ctx.state.pinSet() ? CtapStatus::kPinAuthInvalid
                                                 : CtapStatus::kPinNotSet);
        }
        if (key_ops::VerifyFinger(ctx, outcome.finger) != key_ops::Verdict::kMatch) {
            return StatusOnly(CtapStatus::kKeyStoreFull);
        }
        Bytes response = StatusOnly(CtapStatus::kSuccess);
        const Bytes body = AttestationBody(rpIdBytes);
        response.insert(response.end(), body.begin(), body.end());
        return response;
    };
    return {Bytes{}, std::move(wait)};
}

}  // namespace kelvora::vkey
