#include "cli/sample_status.h"

#include <array>
#include <string_view>

#include "ctap/bio_status.h"
#include "ctap/status.h"
#include "transport/apdu.h"

namespace kelvora::cli {

namespace {

// Indexed by the status value (CTAP 2.1 §6.7.2, CTAP2_ENROLL_FEEDBACK_*).
constexpr std::array<std::string_view, 15> kSampleTexts = {
    "good sample",                                                  // FP_GOOD
    "finger too high; move it down",                                // FP_TOO_HIGH
    "finger too low; move it up",                                   // FP_TOO_LOW
    "finger too far left; move it right",                           // FP_TOO_LEFT
    "finger too far right; move it left",                           // FP_TOO_RIGHT
    "finger moved too fast; hold it still a little longer",         // FP_TOO_FAST
    "finger moved too slowly",                                      // FP_TOO_SLOW
    "poor quality sample; clean the sensor and your finger",        // FP_POOR_QUALITY
    "finger too skewed; lay it straight",                           // FP_TOO_SKEWED
    "finger touched too briefly",                                   // FP_TOO_SHORT
    "sample did not match the previous ones; use the same finger",  // FP_MERGE_FAILURE
    "this fingerprint is already enrolled",                         // FP_EXISTS
    "the key has no room for another fingerprint",                  // FP_DATABASE_FULL
    "no finger was placed in time; touch the sensor",               // NO_USER_ACTIVITY
    "lift your finger and touch the sensor again",                  // NO_UP_TRANSITION
};

}  // namespace

std::string SampleStatusText(int status) {
    if (status < 0) {
        return "no status";
    }
    if (static_cast<std::size_t>(status) < kSampleTexts.size()) {
        return std::string(kSampleTexts[static_cast<std::size_t>(status)]);
    }
    return "unknown sample status " + std::to_string(status);
}

std::string LegacySampleStatusText(std::uint16_t statusWord) {
    switch (statusWord) {
        case kSwSuccess:
            return "good sample";
        case kSwNoFingerOnSensor:
            return "no finger on the sensor; touch the sensor";
        case kSwFingerNotLifted:
            return "lift your finger and touch the sensor again";
        default:
            return StatusText(statusWord);
    }
}

}  // namespace kelvora::cli
