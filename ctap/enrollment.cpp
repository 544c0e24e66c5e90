#include "ctap/enrollment.h"

#include "ctap/bio_enrollment.h"
#include "ctap/legacy_bio.h"
#include "transport/apdu.h"

namespace kelvora {

EnrollmentFamily EnrollmentFamilyOf(const KeyState& state) {
    return state.bioEnrollmentSupported ? EnrollmentFamily::kBio : EnrollmentFamily::kLegacy;
}

SequenceOutcome RunEnrollmentOnKey(FidoDevice& device, EnrollmentFamily family, int legacySlot,
                                   const EnrollmentReport& report,
                                   const std::atomic<bool>& cancelRequested,
                                   const BioSequenceServices& services) {
    if (family == EnrollmentFamily::kLegacy) {
        return RunLegacyEnrollment(
            device, legacySlot,
            [&report](int accepted, std::uint16_t word) {
                if (report) {
                    report(accepted, word);
                }
            },
            cancelRequested, services);
    }
    return RunEnrollmentSequence(device, report, cancelRequested, services);
}

EnrollmentVerdict VerdictOf(EnrollmentFamily family, const SequenceOutcome& outcome) {
    if (outcome.end != SequenceEnd::kFinished) {
        return EnrollmentVerdict::kNotEnrolled;
    }
    const std::uint16_t success = family == EnrollmentFamily::kLegacy ? std::uint16_t{kSwSuccess}
                                                                      : std::uint16_t{kCtapSuccess};
    if (outcome.result == success) {
        return EnrollmentVerdict::kEnrolled;
    }
    // Only the bio sequence has a step after the samples.
    return family == EnrollmentFamily::kBio && outcome.templateStored
               ? EnrollmentVerdict::kEnrolledWithoutName
               : EnrollmentVerdict::kNotEnrolled;
}

}  // namespace kelvora
