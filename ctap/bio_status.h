// Status values the fingerprint operations compare or produce, besides the session's own
// (transport/fido_device.h, transport/apdu.h).
#pragma once

#include <cstdint>

namespace kelvora {

// CTAP2 status bytes (CTAP 2.1 §8.2) the verification verdicts are made of.
enum BioCtapStatus : std::uint8_t {
    kCtapKeyStoreFull = 0x28,       // the maker's keys: the finger did not match
    kCtapUserActionTimeout = 0x2F,  // the maker's keys: no match within the key's time
    kCtapPinAuthInvalid = 0x33,     // a match on a key whose token check failed
    kCtapPinNotSet = 0x35,          // a match on a key without a PIN
    // The tool's answer when a request would not fit its buffer (an over-long name); the
    // CTAP2_ERR_REQUEST_TOO_LARGE a key would give for the same request.
    kCtapRequestTooLarge = 0x39,
    // getFingerprintRetries: the key has no count to give.
    kCtapRetriesUnknown = 0x90,
};

// lastEnrollSampleStatus values (CTAP 2.1 §6.7.2) the enrollment dialog shows specially.
enum BioSampleStatus : std::int32_t {
    kSampleGood = 0x00,
    kSampleNoUserActivity = 0x0D,
    kSampleNoUpTransition = 0x0E,
};

// Status words of the legacy models' fingerprint APDUs.
enum LegacyBioStatus : std::uint16_t {
    kSwNoFingerOnSensor = 0x6A86,   // enrol step: nothing on the sensor
    kSwFingerNotVerified = 0x6A80,  // verification poll, and the tool's own 10 s time-out
    kSwSlotOutOfRange = 0x6984,     // an enrol step for a slot beyond 255; never sent
    // Not the key's: the tool reports a sample taken while the finger was never lifted.
    kSwFingerNotLifted = 0x9401,
};

// The result a sequence gives when it ends without finishing: cancelled or key removed.
inline constexpr std::uint16_t kBioSequenceAborted = 255;
// The result of a legacy enrollment stopped because the system suspends.
inline constexpr std::uint16_t kBioSequenceSuspended = 1001;

}  // namespace kelvora
