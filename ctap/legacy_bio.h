// Fingerprints on the legacy models: enrolling sample by sample, reading the slot bitmap
// and deleting, through the vendor APDUs under secure messaging.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

#include "ctap/bio_sequence.h"
#include "ctap/fingerprint_record.h"
#include "transport/fido_device.h"

namespace kelvora {

// A legacy enrollment takes four samples (steps 1 to 4) and is completed by step 5.
inline constexpr std::uint8_t kLegacySamplesPerEnrollment = 4;
inline constexpr std::uint8_t kLegacyFinalStep = kLegacySamplesPerEnrollment + 1;
// The pause between two polls of the sensor while enrolling.
inline constexpr std::uint32_t kLegacyEnrollPollMs = 100;

// One enrol step (84 E2 01 n with the slot number): 0x9000 a sample taken (or, at the final
// step, the template stored), 0x6A86 no finger on the sensor. A slot beyond 255 gives
// kSwSlotOutOfRange without any exchange.
std::uint16_t LegacyEnrollStep(FidoDevice& device, int slot, std::uint8_t sampleNumber);

// (samples accepted so far, status word). The status word is the last step's, except that
// a sample taken while the finger was never lifted since the previous one is reported as
// kSwFingerNotLifted.
using LegacyEnrollmentProgress = std::function<void(int acceptedSamples, std::uint16_t status)>;

// Polls the sensor every kLegacyEnrollPollMs until four samples were counted, then sends
// the final step, whose status word is the result. A sample counts only once the sensor
// was seen empty since the previous one (the first included), so a finger left lying
// there gives one sample, not four. Ends early on the cancel flag, deviceAbsent or
// systemSuspended. Every run starts counting at the first sample.
SequenceOutcome RunLegacyEnrollment(FidoDevice& device, int slot,
                                    const LegacyEnrollmentProgress& progress,
                                    const std::atomic<bool>& cancelRequested,
                                    const BioSequenceServices& services = {});

// Called when the slot bitmap cannot be read (an answer that is not 32 bytes): the dialogs
// show "エラー" / "エラーが発生しました。認証デバイスを再接続してください。" (style 0x10).
using UnreadableSlotsNotice = std::function<void()>;

// Reads the 32-byte slot bitmap (84 E2 04 00) into `slotMap`, bit s mod 8 of byte s div 8
// for slot s. Returns 0 when it was read; otherwise the status word, after `notice` when
// the answer was not 32 bytes long. Such an answer is never success: a 0x9000 without the
// bitmap comes back as kSwTransportFailure, and so does a status word 00 00. The map is
// changed only on success.
std::uint16_t LegacyReadSlots(FidoDevice& device, SlotMap& slotMap,
                              const UnreadableSlotsNotice& notice);

// Deletes the template in `slot` (84 E2 03 00); returns the status word.
std::uint16_t LegacyDelete(FidoDevice& device, std::uint16_t slot);

}  // namespace kelvora
