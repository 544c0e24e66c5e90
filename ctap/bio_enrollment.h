// One whole enrollment on a key that takes the bio enrollment command, as the enrollment
// dialog's worker runs it:
//
//   starting   enrollBegin, repeated until the key accepts a sample
//   capturing  enrollCaptureNextSample, repeated until no sample remains
//   naming     one setFriendlyName with the default name; its status is the result
//
// A refused attempt is repeated, after a pause that keeps attempts at least
// kBioRetryIntervalMs apart (a key that refuses at once would otherwise be flooded). The
// cancel flag and deviceAbsent are checked after every exchange and every pause, so the
// sequence ends within one exchange (the key's 5 s sample time-out at most) of either.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

#include "ctap/bio_sequence.h"
#include "transport/fido_device.h"

namespace kelvora {

inline constexpr std::uint32_t kBioRetryIntervalMs = 100;

// (remainingSamples, lastEnrollSampleStatus); -1 for a number the key did not give.
using EnrollmentProgress = std::function<void(int remainingSamples, int lastSampleStatus)>;

// Runs the enrollment. pinAuth follows rule A; the name is the UTC stamp of
// services.wallClock, 指紋 and the slot number. Cancelling sends cancelCurrentEnrollment
// (its outcome ignored). An enrollBegin accepted without a template identifier of two
// bytes or more gives no slot to name and no identifier to continue with; it is treated as
// a refused attempt and enrollBegin is sent again.
SequenceOutcome RunEnrollmentSequence(FidoDevice& device, const EnrollmentProgress& progress,
                                      const std::atomic<bool>& cancelRequested,
                                      const BioSequenceServices& services = {});

// Sends cancelCurrentEnrollment (never with pinAuth) and ignores the answer.
void CancelEnrollment(FidoDevice& device);

}  // namespace kelvora
