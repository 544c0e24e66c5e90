#include "ctap/legacy_bio.h"

#include <array>

#include "ctap/bio_status.h"
#include "ctap/legacy_bio_apdu.h"
#include "transport/apdu.h"

namespace kelvora {
namespace {

constexpr int kBitsPerByte = 8;

std::array<std::uint8_t, kLegacySlotDataSize> SlotData(int slot) {
    return {static_cast<std::uint8_t>((slot >> kBitsPerByte) & 0xFF),
            static_cast<std::uint8_t>(slot & 0xFF)};
}

}  // namespace

std::uint16_t LegacyEnrollStep(FidoDevice& device, int slot, std::uint8_t sampleNumber) {
    if (slot < 0 || !SlotFitsMap(static_cast<std::uint32_t>(slot))) {
        return kSwSlotOutOfRange;
    }
    const auto data = SlotData(slot);
    LegacySecureCommand command;
    command.p1 = kLegacyEnrollStepP1;
    command.p2 = sampleNumber;
    command.data = data;
    std::array<std::uint8_t, kLegacyBioResponseSize> response{};
    std::uint32_t length = response.size();
    return TransmitLegacySecureCommand(device, command, response.data(), &length);
}

SequenceOutcome RunLegacyEnrollment(FidoDevice& device, int slot,
                                    const LegacyEnrollmentProgress& progress,
                                    const std::atomic<bool>& cancelRequested,
                                    const BioSequenceServices& services) {
    const KeyState& state = device.State();
    const auto report = [&progress](int accepted, std::uint16_t status) {
        if (progress) {
            progress(accepted, status);
        }
    };
    constexpr SequenceOutcome kSuspend{SequenceEnd::kSuspended, kBioSequenceSuspended};

    std::uint8_t sampleNumber = 1;
    // Until the sensor has been seen empty, a finger on it is not a new sample.
    bool waitingForLift = true;
    std::uint16_t last = kSwFingerNotLifted;
    while (sampleNumber < kLegacyFinalStep) {
        if (state.systemSuspended) {
            return kSuspend;
        }
        report(sampleNumber - 1,
               last == kSwSuccess && waitingForLift ? std::uint16_t{kSwFingerNotLifted} : last);
        last = LegacyEnrollStep(device, slot, sampleNumber);
        if (last == kSwNoFingerOnSensor) {
            waitingForLift = false;
        }
        if (last == kSwSuccess && !waitingForLift) {
            ++sampleNumber;
            waitingForLift = true;
            report(sampleNumber - 1, kSwSuccess);
        }
        if (cancelRequested) {
            return {SequenceEnd::kCancelled, kBioSequenceAborted};
        }
        if (state.deviceAbsent) {
            return {SequenceEnd::kAborted, kBioSequenceAborted};
        }
        if (state.systemSuspended) {
            return kSuspend;
        }
        if (sampleNumber >= kLegacyFinalStep) {
            break;
        }
        services.clock.SleepMs(kLegacyEnrollPollMs);
        if (state.systemSuspended) {
            return kSuspend;
        }
    }
    return {SequenceEnd::kFinished, LegacyEnrollStep(device, slot, kLegacyFinalStep)};
}

namespace {

// 0 means "read" to the callers of LegacyReadSlots, so a key's status word 00 00 must not
// come back as it is.
std::uint16_t NonZeroFailure(std::uint16_t status) {
    return status == 0 ? static_cast<std::uint16_t>(kSwTransportFailure) : status;
}

}  // namespace

std::uint16_t LegacyReadSlots(FidoDevice& device, SlotMap& slotMap,
                              const UnreadableSlotsNotice& notice) {
    LegacySecureCommand command;
    command.p1 = kLegacySlotBitmapP1;
    command.le = kLegacySlotBitmapSize;
    std::array<std::uint8_t, kLegacySlotBitmapSize> bitmap{};
    // A failed exchange leaves the length as given; only a received answer sets it.
    std::uint32_t length = 0;
    std::uint32_t capacity = bitmap.size();
    const std::uint16_t status =
        TransmitLegacySecureCommand(device, command, bitmap.data(), &capacity);
    if (status != kSwTransportFailure && status != kSwBuildFailure) {
        length = capacity;
    }
    if (length != kLegacySlotBitmapSize) {
        if (notice) {
            notice();
        }
        return status == kSwSuccess ? static_cast<std::uint16_t>(kSwTransportFailure)
                                    : NonZeroFailure(status);
    }
    if (status != kSwSuccess) {
        return NonZeroFailure(status);
    }
    for (std::size_t slot = 0; slot < kSlotCount; ++slot) {
        slotMap[slot] =
            static_cast<std::uint8_t>((bitmap[slot / kBitsPerByte] >> (slot % kBitsPerByte)) & 1);
    }
    return 0;
}

std::uint16_t LegacyDelete(FidoDevice& device, std::uint16_t slot) {
    const auto data = SlotData(slot);
    LegacySecureCommand command;
    command.p1 = kLegacyDeleteP1;
    command.data = data;
    std::array<std::uint8_t, kLegacyBioResponseSize> response{};
    std::uint32_t length = response.size();
    return TransmitLegacySecureCommand(device, command, response.data(), &length);
}

}  // namespace kelvora
