#include "vkey/key_context.h"

namespace kelvora::vkey::key_ops {
namespace {
constexpr std::size_t kPinTokenSize = 32;
constexpr std::size_t kTemplateIdSize = 2;
}  // namespace

std::optional<std::uint16_t> FreeSlot(const KeyContext& ctx) {
    if (ctx.state.templates.size() >= ctx.config.templateCapacity) {
        return std::nullopt;
    }
    for (std::uint16_t slot = 0; slot < ctx.config.templateCapacity; ++slot) {
        if (ctx.state.templates.count(slot) == 0) {
            return slot;
        }
    }
    return std::nullopt;
}

Bytes TemplateId(std::uint16_t slot) {
    Bytes id;
    AppendBigEndian16(id, slot);
    return id;
}

std::optional<std::uint16_t> SlotFromTemplateId(ByteView id) {
    if (id.size() != kTemplateIdSize) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>((id[0] << 8) | id[1]);
}

int AutoVerifyFinger(const KeyContext& ctx) {
    const std::optional<AutoTouch>& autoTouch = ctx.sensor.autoTouch();
    if ((autoTouch && autoTouch->stranger) || ctx.state.templates.empty()) {
        return kStrangerFinger;
    }
    return ctx.state.templates.begin()->second.finger;
}

int AutoEnrollFinger(KeyContext& ctx) {
    return ctx.session.nextAutoFinger++;
}

Verdict VerifyFinger(KeyContext& ctx, int finger) {
    if (ctx.state.fingerprintRetries <= 0) {
        return Verdict::kLocked;
    }
    for (const auto& [slot, entry] : ctx.state.templates) {
        if (entry.finger == finger) {
            ctx.state.fingerprintRetries = ctx.config.maxFingerprintRetries;
            return Verdict::kMatch;
        }
    }
    --ctx.state.fingerprintRetries;
    return Verdict::kNoMatch;
}

void RenewSessionSecrets(PlugSession& session) {
    session.keyAgreement.reset();
    Wipe(session.pinToken);
    session.pinToken = RandomBytes(kPinTokenSize);
}

KeyAgreementKey& SessionKeyAgreement(PlugSession& session) {
    if (!session.keyAgreement) {
        session.keyAgreement = std::make_unique<KeyAgreementKey>();
    }
    return *session.keyAgreement;
}

void FactoryReset(KeyContext& ctx) {
    if (ctx.state.pinHash) {
        Wipe(*ctx.state.pinHash);
    }
    ctx.state.pinHash.reset();
    ctx.state.pinRetries = ctx.config.maxPinRetries;
    ctx.state.fingerprintRetries = ctx.config.maxFingerprintRetries;
    ctx.state.templates.clear();
    for (StoredPasskey& passkey : ctx.state.passkeys) {
        Wipe(passkey.privateKey);
    }
    ctx.state.passkeys.clear();
    ctx.session.pendingEnumeration.clear();
    ctx.session.consecutivePinFailures = 0;
    ctx.session.enrollment.reset();
    ctx.session.challenge.reset();
    RenewSessionSecrets(ctx.session);
}

}  // namespace kelvora::vkey::key_ops
