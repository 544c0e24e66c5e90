#include "vkey/legacy_apdu.h"

#include "transport/device_ids.h"
#include "vkey/apdu_defs.h"
#include "vkey/reset.h"
#include "vkey/secure_messaging_check.h"

namespace kelvora::vkey {
namespace {

constexpr std::size_t kClaOffset = 0;
constexpr std::size_t kInsOffset = 1;
constexpr std::size_t kP1Offset = 2;
constexpr std::size_t kP2Offset = 3;
constexpr std::size_t kPlainMaxSize = 5;

Bytes Respond(std::uint16_t statusWord, Bytes data = {}) {
    AppendBigEndian16(data, statusWord);
    return data;
}

std::optional<std::uint16_t> SlotOf(const Bytes& data) {
    if (data.size() != kSlotDataSize) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>((data[0] << 8) | data[1]);
}

Bytes PlainQuery(KeyContext& ctx, std::uint8_t p1) {
    switch (static_cast<QueryP1>(p1)) {
        case QueryP1::kFirmwareVersion:
            return Respond(kSwSuccess,
                           {ctx.config.firmware, static_cast<std::uint8_t>(ctx.config.model), 0});
        case QueryP1::kFailureDetail:
            return Respond(kSwSuccess, {static_cast<std::uint8_t>(ctx.state.fingerprintRetries)});
        case QueryP1::kStatusBytes:
            if (!ctx.config.isLegacy()) {
                break;
            }
            return Respond(
                kSwSuccess,
                {static_cast<std::uint8_t>(ctx.state.pinSet() ? 1 : 0),
                 static_cast<std::uint8_t>(
                     ctx.state.templates.empty() || ctx.config.statusOmitsFingerprints ? 0 : 1)});
        case QueryP1::kReset:
            if (!ctx.config.isLegacy()) {
                break;
            }
            if (!ResetWindowOpen(ctx)) {
                return Respond(kSwConditionsNotSatisfied);
            }
            key_ops::FactoryReset(ctx);
            return Respond(kSwSuccess);
    }
    return Respond(kSwWrongP1P2);
}

Bytes EnrollStep(KeyContext& ctx, int step, const Bytes& data) {
    const std::optional<std::uint16_t> slot = SlotOf(data);
    if (!slot) {
        return Respond(kSwWrongLength);
    }
    if (*slot >= ctx.config.templateCapacity) {
        return Respond(kSwNoSpace);
    }
    if (step < 1 || step > kLegacyFinalEnrollStep) {
        return Respond(kSwWrongP1P2);
    }
    std::optional<Enrollment>& enrollment = ctx.session.enrollment;
    if (step == 1 && (!enrollment || enrollment->slot != *slot)) {
        if (ctx.state.templates.count(*slot) != 0) {
            return Respond(kSwSlotOccupied);
        }
        enrollment = Enrollment{*slot, 0, key_ops::AutoEnrollFinger(ctx)};
    }
    if (!enrollment || enrollment->slot != *slot || step > enrollment->samples + 1) {
        return Respond(kSwConditionsNotSatisfied);
    }
    if (step == kLegacyFinalEnrollStep) {
        if (enrollment->samples < ctx.config.samplesPerTemplate) {
            return Respond(kSwConditionsNotSatisfied);
        }
        ctx.state.templates[*slot] = Template{"", enrollment->finger};
        enrollment.reset();
        return Respond(kSwSuccess);
    }
    const std::optional<Sensor::Presence> presence =
        ctx.sensor.Poll(ctx.clock.NowMs(), enrollment->finger);
    if (!presence) {
        return Respond(kSwNoFinger);
    }
    if (presence->fresh && enrollment->samples < step) {
        if (ctx.faults.failNextSample) {
            ctx.faults.failNextSample = false;
            return Respond(kSwNoFinger);
        }
        if (enrollment->samples == 0) {
            enrollment->finger = presence->finger;
        }
        enrollment->samples = step;
    }
    return Respond(kSwSuccess);
}

Bytes VerifyPoll(KeyContext& ctx) {
    if (ctx.state.fingerprintRetries <= 0) {
        return Respond(kSwPinBlocked);
    }
    const std::optional<Sensor::Presence> presence =
        ctx.sensor.Poll(ctx.clock.NowMs(), key_ops::AutoVerifyFinger(ctx));
    if (!presence || !presence->fresh) {
        return Respond(kSwConditionsNotSatisfied);
    }
    switch (key_ops::VerifyFinger(ctx, presence->finger)) {
        case key_ops::Verdict::kMatch:
            for (const auto& [slot, entry] : ctx.state.templates) {
                if (entry.finger == presence->finger) {
                    return Respond(kSwSuccess, key_ops::TemplateId(slot));
                }
            }
            break;
        case key_ops::Verdict::kNoMatch:
            return Respond(kSwNotVerified);
        case key_ops::Verdict::kLocked:
            return Respond(kSwPinBlocked);
    }
    return Respond(kSwNotVerified);
}

Bytes SetPin(KeyContext& ctx, const Bytes& data) {
    if (data.size() != kLegacyPinHashSize) {
        return Respond(kSwWrongLength);
    }
    if (ctx.state.pinSet()) {
        return Respond(kSwConditionsNotSatisfied);
    }
    ctx.state.pinHash = data;
    ctx.state.pinRetries = ctx.config.maxPinRetries;
    return Respond(kSwSuccess);
}

Bytes ChangePin(KeyContext& ctx, const Bytes& data) {
    if (data.size() != 2 * kLegacyPinHashSize) {
        return Respond(kSwWrongLength);
    }
    if (!ctx.state.pinSet()) {
        return Respond(kSwConditionsNotSatisfied);
    }
    if (ctx.state.pinRetries <= 0) {
        return Respond(kSwPinBlocked);
    }
    const ByteView current = ByteView(data).first(kLegacyPinHashSize);
    if (!ConstantTimeEqual(current, *ctx.state.pinHash)) {
        --ctx.state.pinRetries;
        if (ctx.state.pinRetries <= 0) {
            return Respond(kSwPinBlocked);
        }
        return Respond(static_cast<std::uint16_t>(kSwRetriesBase | (ctx.state.pinRetries & 0x0F)));
    }
    ctx.state.pinRetries = ctx.config.maxPinRetries;
    const ByteView next = ByteView(data).subspan(kLegacyPinHashSize);
    ctx.state.pinHash = Bytes(next.begin(), next.end());
    return Respond(kSwSuccess);
}

Bytes SlotBitmap(const KeyContext& ctx) {
    Bytes bitmap(kSlotBitmapSize, 0);
    for (const auto& [slot, entry] : ctx.state.templates) {
        if (slot / 8 < kSlotBitmapSize) {
            bitmap[slot / 8] |= static_cast<std::uint8_t>(1U << (slot % 8));
        }
    }
    return Respond(kSwSuccess, std::move(bitmap));
}

Bytes Delete(KeyContext& ctx, const Bytes& data) {
    const std::optional<std::uint16_t> slot = SlotOf(data);
    if (!slot) {
        return Respond(kSwWrongLength);
    }
    if (ctx.state.templates.erase(*slot) == 0) {
        return Respond(kSwSlotEmpty);
    }
    return Respond(kSwSuccess);
}

Bytes SecureCommand(KeyContext& ctx, ByteView apdu) {
    std::optional<Bytes> challenge = std::move(ctx.session.challenge);
    ctx.session.challenge.reset();
    if (!challenge) {
        return Respond(kSwSecurityNotSatisfied);
    }
    const UnwrappedApdu unwrapped = UnwrapSecureApdu(
        apdu, ctx.config.usesAes() ? SecureMessagingCipher::kAes : SecureMessagingCipher::kDes,
        kSecureMessagingKey, *challenge);
    if (unwrapped.statusWord != kSwSuccess) {
        return Respond(unwrapped.statusWord);
    }
    if (apdu[kInsOffset] != static_cast<std::uint8_t>(ApduInstruction::kSecureCommand)) {
        return Respond(kSwInsNotSupported);
    }
    const bool pinClass = apdu[kClaOffset] == static_cast<std::uint8_t>(ApduClass::kSecurePin);
    const std::uint8_t p2 = apdu[kP2Offset];
    switch (static_cast<SecureP1>(apdu[kP1Offset])) {
        case SecureP1::kEnrollStep:
            return pinClass ? Respond(kSwWrongP1P2) : EnrollStep(ctx, p2, unwrapped.data);
        case SecureP1::kVerifyPoll:
            return pinClass || p2 != kVerifyPollP2 ? Respond(kSwWrongP1P2) : VerifyPoll(ctx);
        case SecureP1::kDelete:
            return pinClass ? Respond(kSwWrongP1P2) : Delete(ctx, unwrapped.data);
        case SecureP1::kSlotBitmap:
            return pinClass ? Respond(kSwWrongP1P2) : SlotBitmap(ctx);
        case SecureP1::kSetPin:
            return pinClass ? SetPin(ctx, unwrapped.data) : Respond(kSwWrongP1P2);
        case SecureP1::kChangePin:
            return pinClass ? ChangePin(ctx, unwrapped.data) : Respond(kSwWrongP1P2);
        case SecureP1::kChallenge:
            break;
    }
    return Respond(kSwWrongP1P2);
}

}  // namespace

std::uint16_t StatusWordOf(const Bytes& response) {
    if (response.size() < 2) {
        return 0;
    }
    return static_cast<std::uint16_t>((response[response.size() - 2] << 8) | response.back());
}

Bytes HandleApdu(KeyContext& ctx, ByteView apdu) {
    if (apdu.size() < kApduHeaderSize) {
        return Respond(kSwWrongLength);
    }
    const std::uint8_t cla = apdu[kClaOffset];
    if (cla == static_cast<std::uint8_t>(ApduClass::kPlain)) {
        if (apdu.size() > kPlainMaxSize) {
            return Respond(kSwWrongLength);
        }
        const std::uint8_t ins = apdu[kInsOffset];
        if (ins == static_cast<std::uint8_t>(ApduInstruction::kQuery)) {
            return PlainQuery(ctx, apdu[kP1Offset]);
        }
        if (ctx.config.isLegacy() &&
            ins == static_cast<std::uint8_t>(ApduInstruction::kSecureCommand) &&
            apdu[kP1Offset] == static_cast<std::uint8_t>(SecureP1::kChallenge)) {
            ctx.session.challenge = RandomBytes(kChallengeSize);
            return Respond(kSwSuccess, *ctx.session.challenge);
        }
        return Respond(kSwInsNotSupported);
    }
    if (ctx.config.isLegacy() && (cla == static_cast<std::uint8_t>(ApduClass::kSecure) ||
                                  cla == static_cast<std::uint8_t>(ApduClass::kSecurePin))) {
        return SecureCommand(ctx, apdu);
    }
    return Respond(kSwClaNotSupported);
}

}  // namespace kelvora::vkey
