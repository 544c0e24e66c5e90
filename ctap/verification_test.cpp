#include "ctap/verification_test.h"

#include <array>

#include "ctap/bio_request.h"
#include "ctap/bio_status.h"
#include "ctap/command_codes.h"
#include "ctap/legacy_bio_apdu.h"
#include "platform/text.h"
#include "transport/apdu.h"
#include "transport/device_ids.h"

namespace kelvora {
namespace {

// The makeCredential answer is never read; this is room enough for it.
constexpr std::size_t kVerifyResponseSize = 2048;
// The models that take the maker's verifyFingerprint subcommand: sixth and seventh.
constexpr std::size_t kOwnBioSubcommandsFirstIndex = 5;

bool TakesOwnBioSubcommands(std::uint16_t productId) {
    const int index = SupportedProductIndex(productId);
    return index >= 0 && static_cast<std::size_t>(index) >= kOwnBioSubcommandsFirstIndex;
}

bool Interrupted(const KeyState& state, const std::atomic<bool>& cancelRequested) {
    return cancelRequested || state.deviceAbsent;
}

VerificationOutcome RunCtap(FidoDevice& device, const VerificationReport& report,
                            const std::atomic<bool>& cancelRequested,
                            const BioSequenceServices& services) {
    const std::vector<std::uint8_t> request = BuildVerificationRequest(device.State());
    std::array<std::uint8_t, kVerifyResponseSize> response{};
    auto length = static_cast<std::uint32_t>(response.size());
    const std::uint8_t status = device.SendCborCommand(
        request.data(), static_cast<std::int32_t>(request.size()), response.data(), &length);
    if (Interrupted(device.State(), cancelRequested)) {
        return {cancelRequested ? SequenceEnd::kCancelled : SequenceEnd::kAborted, 0,
                kCtapVerifyCloseCode};
    }
    report(status);
    services.clock.SleepMs(kVerdictDisplayMs);
    return {SequenceEnd::kFinished, status, kCtapVerifyCloseCode};
}

std::uint16_t PollLegacy(FidoDevice& device) {
    LegacySecureCommand command;
    command.p1 = kLegacyVerifyPollP1;
    command.p2 = kLegacyVerifyPollP2;
    command.le = kLegacyVerifyPollLe;
    std::array<std::uint8_t, kLegacyBioResponseSize> response{};
    std::uint32_t length = response.size();
    return TransmitLegacySecureCommand(device, command, response.data(), &length);
}

VerificationOutcome RunLegacy(FidoDevice& device, const VerificationReport& report,
                              const std::atomic<bool>& cancelRequested,
                              const BioSequenceServices& services) {
    const std::uint64_t start = services.clock.NowMs();
    std::uint64_t pollStart = start;
    for (;;) {
        const std::uint16_t status = PollLegacy(device);
        if (Interrupted(device.State(), cancelRequested)) {
            return {cancelRequested ? SequenceEnd::kCancelled : SequenceEnd::kAborted, 0,
                    kLegacyVerifyCloseCode};
        }
        report(status);
        if (status == kSwSuccess) {
            services.clock.SleepMs(kVerdictDisplayMs);
            return {SequenceEnd::kFinished, status, kLegacyVerifyCloseCode};
        }
        // A key that answers at once would otherwise be asked thousands of times.
        std::uint64_t now = services.clock.NowMs();
        if (now - pollStart < kLegacyPollIntervalMs) {
            services.clock.SleepMs(
                static_cast<std::uint32_t>(kLegacyPollIntervalMs - (now - pollStart)));
            now = pollStart + kLegacyPollIntervalMs;
        }
        pollStart = now;
        if (now - start > kLegacyVerifyLimitMs) {
            report(kSwFingerNotVerified);
            services.clock.SleepMs(kVerdictDisplayMs);
            return {SequenceEnd::kFinished, kSwFingerNotVerified, kLegacyVerifyCloseCode};
        }
    }
}

}  // namespace

VerificationRequestKind ChooseVerificationRequest(const KeyState& state) {
    if (IsLegacyModel(state.selectedProductId)) {
        return VerificationRequestKind::kLegacyPoll;
    }
    if (!state.vendorCommandSet && TakesOwnBioSubcommands(state.selectedProductId)) {
        return VerificationRequestKind::kVerifyFingerprint;
    }
    return VerificationRequestKind::kMakeCredential;
}

std::vector<std::uint8_t> BuildVerificationRequest(const KeyState& state) {
    switch (ChooseVerificationRequest(state)) {
        case VerificationRequestKind::kLegacyPoll:
            return {};
        case VerificationRequestKind::kVerifyFingerprint: {
            BioRequest request;
            BuildBioRequest(state, BioSubCommand::kVerifyFingerprint, {}, false, request);
            const std::span<const std::uint8_t> bytes = request.span();
            return {bytes.begin(), bytes.end()};
        }
        case VerificationRequestKind::kMakeCredential:
            break;
    }
    std::vector<std::uint8_t> request =
        text::HexToBytes(VERIFY_TEST_REQUEST).value_or(std::vector<std::uint8_t>{});
    if (!request.empty()) {
        request[0] = CommandByte(state, CtapCommand::kMakeCredential);
    }
    return request;
}

Verdict CtapVerdict(std::uint8_t status) {
    switch (status) {
        case kCtapSuccess:
        case kCtapPinAuthInvalid:
        case kCtapPinNotSet:
            return Verdict::kVerified;
        case kCtapKeyStoreFull:
        case kCtapUserActionTimeout:
            return Verdict::kNotVerified;
        default:
            return Verdict::kNoVerdict;
    }
}

Verdict LegacyVerdict(std::uint16_t statusWord) {
    switch (statusWord) {
        case kSwSuccess:
            return Verdict::kVerified;
        case kSwFingerNotVerified:
            return Verdict::kNotVerified;
        default:
            return Verdict::kNoVerdict;
    }
}

VerificationOutcome RunVerificationTest(FidoDevice& device, const VerificationReport& report,
                                        const std::atomic<bool>& cancelRequested,
                                        const BioSequenceServices& services) {
    const VerificationReport reportOrNothing = report ? report : [](std::uint16_t) {};
    if (ChooseVerificationRequest(device.State()) == VerificationRequestKind::kLegacyPoll) {
        return RunLegacy(device, reportOrNothing, cancelRequested, services);
    }
    return RunCtap(device, reportOrNothing, cancelRequested, services);
}

}  // namespace kelvora
