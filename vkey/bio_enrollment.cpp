#include "vkey/bio_enrollment.h"

#include "vkey/ctap_reply.h"
#include "vkey/key_crypto.h"

namespace kelvora::vkey {
namespace {

constexpr std::size_t kMaxFriendlyNameSize = 64;

CommandResult Immediate(Bytes response) {
    return {std::move(response), std::nullopt};
}

CommandResult Immediate(CtapStatus status) {
    return {StatusOnly(status), std::nullopt};
}

bool NeedsPinAuth(BioSubcommand subcommand) {
    switch (subcommand) {
        case BioSubcommand::kEnrollBegin:
        case BioSubcommand::kEnrollCaptureNextSample:
        case BioSubcommand::kEnumerateEnrollments:
        case BioSubcommand::kSetFriendlyName:
        case BioSubcommand::kRemoveEnrollment:
            return true;
        default:
            return false;
    }
}

std::optional<CtapStatus> CheckPinAuth(const KeyContext& ctx, const CborItem& request,
                                       std::int64_t modality, std::int64_t subcommand) {
    const CborItem* pinAuth = FindMember(request, BioRequestKey::kPinAuth);
    if (pinAuth == nullptr) {
        if (ctx.config.requirePinAuth && ctx.state.pinSet() &&
            NeedsPinAuth(static_cast<BioSubcommand>(subcommand))) {
            return CtapStatus::kPinRequired;
        }
        return std::nullopt;
    }
    const CborItem* protocol = FindMember(request, BioRequestKey::kPinProtocol);
    if (protocol == nullptr) {
        return CtapStatus::kMissingParameter;
    }
    if (!protocol->IsInteger() || protocol->integer() != kPinProtocolOne ||
        pinAuth->type() != CborItem::Type::kBytes) {
        return CtapStatus::kInvalidParameter;
    }
    Bytes message = {static_cast<std::uint8_t>(modality), static_cast<std::uint8_t>(subcommand)};
    if (const CborItem* params = FindMember(request, BioRequestKey::kSubCommandParams)) {
        message.insert(message.end(), params->raw().begin(), params->raw().end());
    }
    const Bytes mac = HmacSha256(ctx.session.pinToken, message);
    if (!ConstantTimeEqual(ByteView(mac).first(kPinAuthSize), pinAuth->bytes())) {
        return CtapStatus::kPinAuthInvalid;
    }
    return std::nullopt;
}

std::int64_t TimeoutMs(const KeyContext& ctx, const CborItem* params) {
    if (params != nullptr) {
        const CborItem* timeout = FindMember(*params, BioParamKey::kTimeoutMilliseconds);
        if (timeout != nullptr && timeout->type() == CborItem::Type::kUnsigned) {
            return timeout->integer();
        }
    }
    return ctx.config.defaultSampleTimeoutMs;
}

// The slot named by member 1 of the parameters, when it holds a template. A templateId the
// key does not hold is an invalid option, as CTAP 2.1 has it for setFriendlyName and
// removeEnrollment.
std::optional<std::uint16_t> ExistingSlot(const KeyContext& ctx, const CborItem* params,
                                          CtapStatus& status) {
    const CborItem* id =
        params == nullptr ? nullptr : FindMember(*params, BioParamKey::kTemplateId);
    if (id == nullptr || id->type() != CborItem::Type::kBytes) {
        status = CtapStatus::kMissingParameter;
        return std::nullopt;
    }
    std::optional<std::uint16_t> slot = key_ops::SlotFromTemplateId(id->bytes());
    if (!slot || ctx.state.templates.count(*slot) == 0) {
        status = CtapStatus::kInvalidOption;
        return std::nullopt;
    }
    return slot;
}

CborItem SampleReply(const Enrollment& enrollment, int samplesNeeded, SampleStatus status,
                     bool withTemplateId) {
    std::vector<CborItem::Pair> members;
    if (withTemplateId) {
        members.push_back(Member(BioResponseKey::kTemplateId,
                                 CborItem::ByteString(key_ops::TemplateId(enrollment.slot))));
    }
    members.push_back(Member(BioResponseKey::kLastEnrollSampleStatus,
                             CborItem::Int(static_cast<std::int64_t>(status))));
    members.push_back(Member(BioResponseKey::kRemainingSamples,
                             CborItem::Int(samplesNeeded - enrollment.samples)));
    return CborItem::Map(std::move(members));
}

// Counts a sample, stores the template when it is complete, and builds the reply.
Bytes TakeSample(KeyContext& ctx, Enrollment& enrollment, bool first) {
    SampleStatus status = SampleStatus::kGood;
    if (ctx.faults.failNextSample) {
        ctx.faults.failNextSample = false;
        status = SampleStatus::kNoUserActivity;
    } else {
        ++enrollment.samples;
    }
    const CborItem body = SampleReply(enrollment, ctx.config.samplesPerTemplate, status, first);
    if (enrollment.samples >= ctx.config.samplesPerTemplate) {
        ctx.state.templates[enrollment.slot] = Template{"", enrollment.finger};
        ctx.session.enrollment.reset();
    }
    return Reply(CtapStatus::kSuccess, body);
}

CommandResult EnrollBegin(KeyContext& ctx, const CborItem* params) {
    if (!key_ops::FreeSlot(ctx)) {
        return Immediate(CtapStatus::kKeyStoreFull);
    }
    ctx.session.enrollment.reset();
    FingerWait wait;
    wait.timeoutMs = TimeoutMs(ctx, params);
    wait.autoFinger = key_ops::AutoEnrollFinger(ctx);
    wait.complete = [&ctx](const FingerOutcome& outcome) {
        if (outcome.kind == FingerOutcome::Kind::kCancelled) {
            return StatusOnly(CtapStatus::kKeepaliveCancel);
        }
        if (outcome.kind == FingerOutcome::Kind::kTimeout) {
            return StatusOnly(CtapStatus::kUserActionTimeout);
        }
        const std::optional<std::uint16_t> slot = key_ops::FreeSlot(ctx);
        if (!slot) {
            return StatusOnly(CtapStatus::kKeyStoreFull);
        }
        ctx.session.enrollment = Enrollment{*slot, 0, outcome.finger};
        return TakeSample(ctx, *ctx.session.enrollment, true);
    };
    return {Bytes{}, std::move(wait)};
}

CommandResult EnrollNext(KeyContext& ctx, const CborItem* params) {
    const CborItem* id =
        params == nullptr ? nullptr : FindMember(*params, BioParamKey::kTemplateId);
    if (id == nullptr || id->type() != CborItem::Type::kBytes) {
        return Immediate(CtapStatus::kMissingParameter);
    }
    const std::optional<std::uint16_t> slot = key_ops::SlotFromTemplateId(id->bytes());
    if (!ctx.session.enrollment || slot != ctx.session.enrollment->slot) {
        return Immediate(CtapStatus::kInvalidParameter);
    }
    FingerWait wait;
    wait.timeoutMs = TimeoutMs(ctx, params);
    wait.autoFinger = ctx.session.enrollment->finger;
    wait.complete = [&ctx, expected = *slot](const FingerOutcome& outcome) {
        if (!ctx.session.enrollment || ctx.session.enrollment->slot != expected) {
            return StatusOnly(CtapStatus::kInvalidParameter);
        }
        Enrollment& enrollment = *ctx.session.enrollment;
        switch (outcome.kind) {
            case FingerOutcome::Kind::kCancelled:
                return StatusOnly(CtapStatus::kKeepaliveCancel);
            case FingerOutcome::Kind::kTimeout:
                if (outcome.heldDown) {
                    return Reply(CtapStatus::kSuccess,
                                 SampleReply(enrollment, ctx.config.samplesPerTemplate,
                                             SampleStatus::kNoUpTransition, false));
                }
                return StatusOnly(CtapStatus::kUserActionTimeout);
            case FingerOutcome::Kind::kFinger:
                break;
        }
        return TakeSample(ctx, enrollment, false);
    };
    return {Bytes{}, std::move(wait)};
}

CommandResult Enumerate(const KeyContext& ctx) {
    if (ctx.state.templates.empty()) {
        return Immediate(CtapStatus::kInvalidOption);
    }
    std::vector<CborItem> infos;
    for (const auto& [slot, entry] : ctx.state.templates) {
        infos.push_back(CborItem::Map({
            Member(TemplateInfoKey::kTemplateId, CborItem::ByteString(key_ops::TemplateId(slot))),
            Member(TemplateInfoKey::kFriendlyName, CborItem::Text(entry.name)),
        }));
    }
    return Immediate(
        Reply(CtapStatus::kSuccess, CborItem::Map({Member(BioResponseKey::kTemplateInfos,
                                                          CborItem::Array(std::move(infos)))})));
}

CommandResult SetFriendlyName(KeyContext& ctx, const CborItem* params) {
    CtapStatus status = CtapStatus::kSuccess;
    const std::optional<std::uint16_t> slot = ExistingSlot(ctx, params, status);
    if (!slot) {
        return Immediate(status);
    }
    const CborItem* name = FindMember(*params, BioParamKey::kTemplateFriendlyName);
    if (name == nullptr) {
        return Immediate(CtapStatus::kMissingParameter);
    }
    if (name->type() != CborItem::Type::kText) {
        return Immediate(CtapStatus::kInvalidParameter);
    }
    if (name->bytes().size() > kMaxFriendlyNameSize) {
        return Immediate(CtapStatus::kInvalidLength);
    }
    ctx.state.templates[*slot].name.assign(name->bytes().begin(), name->bytes().end());
    return Immediate(CtapStatus::kSuccess);
}

CommandResult Remove(KeyContext& ctx, const CborItem* params) {
    CtapStatus status = CtapStatus::kSuccess;
    const std::optional<std::uint16_t> slot = ExistingSlot(ctx, params, status);
    if (!slot) {
        return Immediate(status);
    }
    ctx.state.templates.erase(*slot);
    return Immediate(CtapStatus::kSuccess);
}

CommandResult VerifyFingerprint(KeyContext& ctx) {
    if (ctx.state.fingerprintRetries <= 0) {
        return Immediate(CtapStatus::kKeyStoreFull);
    }
    FingerWait wait;
    wait.timeoutMs = ctx.config.verifyTimeoutMs;
    wait.autoFinger = key_ops::AutoVerifyFinger(ctx);
    wait.complete = [&ctx](const FingerOutcome& outcome) {
        if (std::optional<Bytes> ended = NoFingerReply(outcome)) {
            return *ended;
        }
        return StatusOnly(key_ops::VerifyFinger(ctx, outcome.finger) == key_ops::Verdict::kMatch
                              ? CtapStatus::kSuccess
                              : CtapStatus::kKeyStoreFull);
    };
    return {Bytes{}, std::move(wait)};
}

}  // namespace

CommandResult HandleBioEnrollment(KeyContext& ctx, ByteView parameters) {
    const std::optional<CborItem> request = DecodeCbor(parameters);
    if (!request || request->type() != CborItem::Type::kMap) {
        return Immediate(CtapStatus::kInvalidCbor);
    }
    const CborItem* getModality = FindMember(*request, BioRequestKey::kGetModality);
    if (getModality != nullptr && getModality->type() == CborItem::Type::kBool &&
        getModality->boolean()) {
        return Immediate(Reply(CtapStatus::kSuccess,
                               CborItem::Map({Member(BioResponseKey::kModality,
                                                     CborItem::Int(kModalityFingerprint))})));
    }
    const CborItem* modality = FindMember(*request, BioRequestKey::kModality);
    const CborItem* subcommand = FindMember(*request, BioRequestKey::kSubCommand);
    if (modality == nullptr || subcommand == nullptr) {
        return Immediate(CtapStatus::kMissingParameter);
    }
    if (!modality->IsInteger() || modality->integer() != kModalityFingerprint ||
        !subcommand->IsInteger()) {
        return Immediate(CtapStatus::kInvalidParameter);
    }
    const CborItem* params = FindMember(*request, BioRequestKey::kSubCommandParams);
    if (params != nullptr && params->type() != CborItem::Type::kMap) {
        return Immediate(CtapStatus::kInvalidParameter);
    }
    if (std::optional<CtapStatus> refused =
            CheckPinAuth(ctx, *request, modality->integer(), subcommand->integer())) {
        return Immediate(*refused);
    }

    const auto sub = static_cast<BioSubcommand>(subcommand->integer());
    switch (sub) {
        case BioSubcommand::kEnrollBegin:
            return EnrollBegin(ctx, params);
        case BioSubcommand::kEnrollCaptureNextSample:
            return EnrollNext(ctx, params);
        case BioSubcommand::kCancelCurrentEnrollment:
            ctx.session.enrollment.reset();
            return Immediate(CtapStatus::kSuccess);
        case BioSubcommand::kEnumerateEnrollments:
            return Enumerate(ctx);
        case BioSubcommand::kSetFriendlyName:
            return SetFriendlyName(ctx, params);
        case BioSubcommand::kRemoveEnrollment:
            return Remove(ctx, params);
        case BioSubcommand::kGetFingerprintSensorInfo:
            return Immediate(Reply(
                CtapStatus::kSuccess,
                CborItem::Map(
                    {Member(BioResponseKey::kFingerprintKind, CborItem::Int(kFingerprintKindTouch)),
                     Member(BioResponseKey::kMaxCaptureSamples,
                            CborItem::Int(ctx.config.samplesPerTemplate))})));
        case BioSubcommand::kVerifyFingerprint:
        case BioSubcommand::kGetFingerprintRetries:
            if (!ctx.config.hasOwnBioSubcommands()) {
                break;
            }
            if (sub == BioSubcommand::kVerifyFingerprint) {
                return VerifyFingerprint(ctx);
            }
            return Immediate(static_cast<CtapStatus>(ctx.state.fingerprintRetries));
    }
    return Immediate(CtapStatus::kInvalidSubcommand);
}

}  // namespace kelvora::vkey
