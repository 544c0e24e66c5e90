// One fingerprint enrollment on either family of key, and the one verdict on how it ended
// that the enrollment dialog, the main window and the command line all go by: the dialog
// must not show a finger as enrolled that the window then leaves out of its list.
//
// The sequence follows what the key's listing is read by (ReadFingerprintsOnKey): the bio
// enrollment command when GetInfo offered it, the legacy vendor APDUs otherwise. Its result
// is judged by the sequence that produced it, never by a success value of the other family.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

#include "ctap/bio_sequence.h"
#include "transport/fido_device.h"
#include "transport/key_state.h"

namespace kelvora {

enum class EnrollmentFamily {
    kBio,     // enrollBegin, enrollCaptureNextSample, setFriendlyName
    kLegacy,  // the legacy models' enrol steps, polled
};

EnrollmentFamily EnrollmentFamilyOf(const KeyState& state);

// (count, status) of one report: for kBio the samples still wanted and the last sample's
// status, for kLegacy the samples accepted so far and the poll's status word.
using EnrollmentReport = std::function<void(int count, int status)>;

// Runs the enrollment of `family`; `legacySlot` is where a legacy model enrols (a CTAP2 key
// picks its own slot).
SequenceOutcome RunEnrollmentOnKey(FidoDevice& device, EnrollmentFamily family, int legacySlot,
                                   const EnrollmentReport& report,
                                   const std::atomic<bool>& cancelRequested,
                                   const BioSequenceServices& services = {});

enum class EnrollmentVerdict {
    kNotEnrolled,
    kEnrolled,
    // The key holds the fingerprint but refused its default name: it is listed, without
    // the stamp and name the tool gives.
    kEnrolledWithoutName,
};

EnrollmentVerdict VerdictOf(EnrollmentFamily family, const SequenceOutcome& outcome);

}  // namespace kelvora
