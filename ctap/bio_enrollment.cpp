#include "ctap/bio_enrollment.h"

#include <array>
#include <optional>

#include "ctap/bio_request.h"
#include "ctap/bio_response.h"
#include "ctap/bio_status.h"
#include "ctap/fingerprint_record.h"

namespace kelvora {
namespace {

// The cancel request and its answer are small and the answer is ignored.
constexpr std::size_t kCancelResponseSize = 100;

// One exchange's answer; the body lies in the run's response buffer.
struct Answer {
    std::uint8_t status = 0;
    std::span<const std::uint8_t> body;
};

class EnrollmentRun {
  public:
    EnrollmentRun(FidoDevice& device, const EnrollmentProgress& progress,
                  const std::atomic<bool>& cancelRequested, const BioSequenceServices& services)
        : device_(device),
          state_(device.State()),
          progress_(progress),
          cancelRequested_(cancelRequested),
          services_(services) {}

    SequenceOutcome Run() {
        if (std::optional<SequenceOutcome> end = Start()) {
            return *end;
        }
        if (std::optional<SequenceOutcome> end = Capture()) {
            return *end;
        }
        return Name();
    }

  private:
    // Starting: enrollBegin until the key accepts a sample with a usable identifier.
    std::optional<SequenceOutcome> Start() {
        BioParams params;
        params.sampleTimeout = true;
        BioRequest request;
        BuildBioRequest(state_, BioSubCommand::kEnrollBegin, params, BioPinAuthRuleA(state_),
                        request);
        for (;;) {
            const Answer answer = Send(request);
            if (std::optional<SequenceOutcome> end = CheckFlags()) {
                return end;
            }
            if (answer.status == kCtapSuccess && TakeFirstSample(answer.body)) {
                Report();
                return std::nullopt;
            }
            if (std::optional<SequenceOutcome> end = PauseBeforeRetry()) {
                return end;
            }
        }
    }

    // Capturing: enrollCaptureNextSample until no sample remains. At least one is sent,
    // whatever enrollBegin said remains.
    std::optional<SequenceOutcome> Capture() {
        BioParams params;
        params.templateId = std::span<const std::uint8_t>(sample_.templateId);
        params.sampleTimeout = true;
        BioRequest request;
        BuildBioRequest(state_, BioSubCommand::kEnrollCaptureNextSample, params,
                        BioPinAuthRuleA(state_), request);
        for (;;) {
            const Answer answer = Send(request);
            if (std::optional<SequenceOutcome> end = CheckFlags()) {
                return end;
            }
            if (answer.status == kCtapSuccess) {
                ReadEnrollSample(answer.body, false, sample_);
                if (sample_.remainingSamples == 0) {
                    return std::nullopt;
                }
                Report();
                continue;
            }
            if (std::optional<SequenceOutcome> end = PauseBeforeRetry()) {
                return end;
            }
        }
    }

    // Naming: the default name under the slot of the new template; its status is the result.
    SequenceOutcome Name() {
        const std::uint16_t slot = SlotFromTemplateId(sample_.templateId).value_or(0);
        const std::string name = DefaultFingerprintName(services_.wallClock(), slot);
        BioParams params;
        params.templateId = std::span<const std::uint8_t>(sample_.templateId);
        params.friendlyName = name;
        BioRequest request;
        if (!BuildBioRequest(state_, BioSubCommand::kSetFriendlyName, params,
                             BioPinAuthRuleA(state_), request)) {
            return {SequenceEnd::kFinished, kCtapRequestTooLarge, true};
        }
        return {SequenceEnd::kFinished, Send(request).status, true};
    }

    Answer Send(const BioRequest& request) {
        lastSendMs_ = services_.clock.NowMs();
        std::uint32_t length = 0;
        const std::uint8_t status = SendBioRequest(device_, request, response_, length);
        DebugPrintf(services_.debug, "------ nRet = %d, ulRecvLen = %d ------", status,
                    static_cast<int>(length));
        return {status, std::span<const std::uint8_t>(response_.data(), length)};
    }

    // The first sample, with the identifier the rest of the enrollment uses whole; false
    // when the identifier is missing, too short to give a slot, or too long to fit the
    // next request.
    bool TakeFirstSample(std::span<const std::uint8_t> body) {
        sample_ = EnrollSample{};
        ReadEnrollSample(body, true, sample_);
        const std::size_t length = sample_.templateId.size();
        if (length < kTemplateIdSize || length > kBioRequestSize / 2) {
            DebugPrintf(services_.debug, "enrollBegin accepted without a usable templateId");
            return false;
        }
        return true;
    }

    void Report() {
        if (progress_) {
            progress_(sample_.remainingSamples, sample_.lastSampleStatus);
        }
    }

    std::optional<SequenceOutcome> CheckFlags() {
        if (cancelRequested_) {
            CancelEnrollment(device_);
            return SequenceOutcome{SequenceEnd::kCancelled, kBioSequenceAborted};
        }
        if (state_.deviceAbsent) {
            return SequenceOutcome{SequenceEnd::kAborted, kBioSequenceAborted};
        }
        return std::nullopt;
    }

    // Keeps attempts kBioRetryIntervalMs apart: a key that waited for a finger until its
    // time-out is asked again at once, one that refused at once is not flooded.
    std::optional<SequenceOutcome> PauseBeforeRetry() {
        const std::uint64_t elapsed = services_.clock.NowMs() - lastSendMs_;
        if (elapsed < kBioRetryIntervalMs) {
            services_.clock.SleepMs(static_cast<std::uint32_t>(kBioRetryIntervalMs - elapsed));
        }
        return CheckFlags();
    }

    FidoDevice& device_;
    KeyState& state_;
    const EnrollmentProgress& progress_;
    const std::atomic<bool>& cancelRequested_;
    const BioSequenceServices& services_;
    std::array<std::uint8_t, kBioResponseSize> response_{};
    EnrollSample sample_;
    std::uint64_t lastSendMs_ = 0;
};

}  // namespace

void CancelEnrollment(FidoDevice& device) {
    BioRequest request;
    BuildBioRequest(device.State(), BioSubCommand::kCancelCurrentEnrollment, {}, false, request);
    std::array<std::uint8_t, kCancelResponseSize> response{};
    std::uint32_t length = 0;
    SendBioRequest(device, request, response, length);
}

SequenceOutcome RunEnrollmentSequence(FidoDevice& device, const EnrollmentProgress& progress,
                                      const std::atomic<bool>& cancelRequested,
                                      const BioSequenceServices& services) {
    return EnrollmentRun(device, progress, cancelRequested, services).Run();
}

}  // namespace kelvora
