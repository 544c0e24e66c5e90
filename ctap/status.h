// Every status an operation on the key can return, in one integer space:
//
//   negative            an mbed TLS error from a failed key agreement
//   0x00 to 0xFF        a CTAP status byte (CTAP 2.1 §8.2); 0xFF is also the session's
//                       "no response" and GetPinToken's "success without a token"
//   0x6000 to 0x9FFF    a status word of a legacy model's vendor APDU (ISO/IEC 7816-4 form)
//   0xFF00 and above    the tool's own codes
//
// The session's own values (kCtapSuccess, kCtapResponseTooLarge, kCtapTransportFailure,
// kSwSuccess, kSwTransportFailure, kSwBuildFailure) live with the session; this header adds
// the key's statuses the operations and the dialogs tell apart, and StatusText for logs and
// the command line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "transport/apdu.h"
#include "transport/fido_device.h"

namespace kelvora {

// CTAP status bytes (CTAP 2.1 §8.2) besides those of the session.
enum CtapError : std::uint8_t {
    kCtapErrInvalidCommand = 0x01,
    kCtapErrInvalidParameter = 0x02,
    kCtapErrInvalidLength = 0x03,  // also the session's "response did not fit"
    kCtapErrInvalidSequence = 0x04,
    kCtapErrTimeout = 0x05,
    kCtapErrChannelBusy = 0x06,
    kCtapErrLockRequired = 0x0A,
    kCtapErrInvalidChannel = 0x0B,
    kCtapErrCborUnexpectedType = 0x11,
    kCtapErrInvalidCbor = 0x12,
    kCtapErrMissingParameter = 0x14,
    kCtapErrLimitExceeded = 0x15,
    kCtapErrFingerprintDatabaseFull = 0x17,
    kCtapErrCredentialExcluded = 0x19,
    kCtapErrProcessing = 0x21,
    kCtapErrInvalidCredential = 0x22,
    kCtapErrUserActionPending = 0x23,
    kCtapErrOperationPending = 0x24,
    kCtapErrNoOperations = 0x25,
    kCtapErrUnsupportedAlgorithm = 0x26,
    kCtapErrOperationDenied = 0x27,
    kCtapErrKeyStoreFull = 0x28,
    kCtapErrUnsupportedOption = 0x2B,
    kCtapErrInvalidOption = 0x2C,
    kCtapErrKeepaliveCancel = 0x2D,
    kCtapErrNoCredentials = 0x2E,
    kCtapErrUserActionTimeout = 0x2F,
    kCtapErrNotAllowed = 0x30,
    kCtapErrPinInvalid = 0x31,
    kCtapErrPinBlocked = 0x32,
    kCtapErrPinAuthInvalid = 0x33,
    kCtapErrPinAuthBlocked = 0x34,
    kCtapErrPinNotSet = 0x35,
    kCtapErrPinRequired = 0x36,
    kCtapErrPinPolicyViolation = 0x37,
    kCtapErrPinTokenExpired = 0x38,
    kCtapErrRequestTooLarge = 0x39,
    kCtapErrActionTimeout = 0x3A,
    kCtapErrUpRequired = 0x3B,
    kCtapErrUvBlocked = 0x3C,
    kCtapErrIntegrityFailure = 0x3D,
    kCtapErrInvalidSubcommand = 0x3E,
    kCtapErrUvInvalid = 0x3F,
    kCtapErrUnauthorizedPermission = 0x40,
    kCtapErrOther = 0x7F,
};

// The failures of the key agreement that precedes every ClientPIN operation: 0x12, or a
// negative mbed TLS error. Nothing was asked of the key's PIN yet.
constexpr bool IsKeyAgreementFailure(int status) {
    return status < 0 || status == kCtapErrInvalidCbor;
}

// Status words of the legacy models besides those of the session.
enum LegacyStatus : std::uint16_t {
    // Wrong PIN; the low four bits are the retries left (LegacyPinRetries).
    kSwPinRetriesBase = 0x63C0,
    kSwWrongLength = 0x6700,
    kSwSecurityNotSatisfied = 0x6982,
    kSwPinBlocked = 0x6983,
    // Also the tool's own answer to a slot number outside 0 to 255.
    kSwInvalidReference = 0x6984,
    kSwConditionsNotSatisfied = 0x6985,
    kSwSecureMessagingError = 0x6988,
    // The finger did not match; also the tool's own verification time-out.
    kSwNotVerified = 0x6A80,
    kSwSlotEmpty = 0x6A83,
    kSwNoSpace = 0x6A84,
    kSwNoFinger = 0x6A86,
    kSwSlotOccupied = 0x6A89,
    kSwWrongP1P2 = 0x6B00,
    kSwInstructionNotSupported = 0x6D00,
    kSwClassNotSupported = 0x6E00,
    // Progress of a legacy enrollment: the finger is still on the sensor from the last
    // sample. Reported by the tool, never sent by a key.
    kSwFingerStillOnSensor = 0x9401,
};
inline constexpr std::uint16_t kSwRetriesMask = 0x000F;

// The retries a legacy model reports with a wrong PIN (0x63C0 to 0x63CF), nothing for any
// other status.
constexpr std::optional<std::uint32_t> LegacyPinRetries(int status) {
    if (status < 0 || (status & ~static_cast<int>(kSwRetriesMask)) != kSwPinRetriesBase) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(status) & kSwRetriesMask;
}

// The tool's own codes besides the session's 0xFFFB and 0xFFFE.
enum ToolStatus : std::uint16_t {
    // Entry error that a dialog has already shown under its field.
    kStatusEntryError = 0xFFEE,
    // The operation ended without any status from the key.
    kStatusNoResult = 0xFFFF,
    // The key answered getPINToken with success but no token that decrypts to 16 or 32
    // bytes. A local failure, apart from 0xFF (no usable response at all: the key may be
    // gone).
    kStatusNoPinToken = 0xFFED,
    // The key answered with success but its answer lacked what was asked for, or announced
    // more entries than any key holds.
    kStatusMalformedAnswer = 0xFFEC,
};

// GetPinToken's result when the key answered success but sent no usable token.
inline constexpr int kNoPinToken = kStatusNoPinToken;

// What a key of this model answers on success: 0x9000 for a legacy model, 0 otherwise.
std::uint16_t SuccessStatus(std::uint16_t productId);

// One English line for any status of the space above, e.g. "0x31 PIN invalid (CTAP)".
// Never returns an empty string; unknown values are said to be unknown.
std::string StatusText(int status);

}  // namespace kelvora
