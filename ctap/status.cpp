#include "ctap/status.h"

#include <array>
#include <cstdio>
#include <string_view>

#include <mbedtls/error.h>

#include "transport/device_ids.h"

namespace kelvora {
namespace {

struct Entry {
    int code;
    std::string_view text;
};

constexpr std::array kCtapTexts = {
    Entry{kCtapSuccess, "success"},
    Entry{kCtapErrInvalidCommand, "invalid command"},
    Entry{kCtapErrInvalidParameter, "invalid parameter"},
    Entry{kCtapErrInvalidLength, "invalid length, or the response did not fit"},
    Entry{kCtapErrInvalidSequence, "invalid message sequence"},
    Entry{kCtapErrTimeout, "message timed out"},
    Entry{kCtapErrChannelBusy, "channel busy"},
    Entry{kCtapErrLockRequired, "channel lock required"},
    Entry{kCtapErrInvalidChannel, "invalid channel"},
    Entry{kCtapErrCborUnexpectedType, "unexpected CBOR type"},
    Entry{kCtapErrInvalidCbor, "invalid CBOR"},
    Entry{kCtapErrMissingParameter, "missing parameter"},
    Entry{kCtapErrLimitExceeded, "limit exceeded"},
    Entry{kCtapErrFingerprintDatabaseFull, "fingerprint storage full"},
    Entry{kCtapErrCredentialExcluded, "credential excluded"},
    Entry{kCtapErrProcessing, "processing"},
    Entry{kCtapErrInvalidCredential, "invalid credential"},
    Entry{kCtapErrUserActionPending, "user action pending"},
    Entry{kCtapErrOperationPending, "operation pending"},
    Entry{kCtapErrNoOperations, "no operations"},
    Entry{kCtapErrUnsupportedAlgorithm, "unsupported algorithm"},
    Entry{kCtapErrOperationDenied, "operation denied"},
    Entry{kCtapErrKeyStoreFull, "key store full, or the finger was not recognised"},
    Entry{kCtapErrUnsupportedOption, "unsupported option"},
    Entry{kCtapErrInvalidOption, "invalid option"},
    Entry{kCtapErrKeepaliveCancel, "cancelled"},
    Entry{kCtapErrNoCredentials, "no credentials"},
    Entry{kCtapErrUserActionTimeout, "user action timed out"},
    Entry{kCtapErrNotAllowed, "not allowed"},
    Entry{kCtapErrPinInvalid, "PIN invalid"},
    Entry{kCtapErrPinBlocked, "PIN blocked"},
    Entry{kCtapErrPinAuthInvalid, "PIN authentication invalid"},
    Entry{kCtapErrPinAuthBlocked, "PIN authentication blocked until the key is plugged in again"},
    Entry{kCtapErrPinNotSet, "PIN not set"},
    Entry{kCtapErrPinRequired, "PIN required"},
    Entry{kCtapErrPinPolicyViolation, "PIN policy violation"},
    Entry{kCtapErrPinTokenExpired, "PIN token expired"},
    Entry{kCtapErrRequestTooLarge, "request too large"},
    Entry{kCtapErrActionTimeout, "action timed out"},
    Entry{kCtapErrUpRequired, "user presence required"},
    Entry{kCtapErrUvBlocked, "user verification blocked"},
    Entry{kCtapErrIntegrityFailure, "integrity failure"},
    Entry{kCtapErrInvalidSubcommand, "invalid subcommand"},
    Entry{kCtapErrUvInvalid, "user verification invalid"},
    Entry{kCtapErrUnauthorizedPermission, "unauthorized permission"},
    Entry{kCtapErrOther, "other error"},
    Entry{kCtapTransportFailure, "no usable response from the key"},
};

constexpr std::array kWordTexts = {
    Entry{kSwSuccess, "success"},
    Entry{kSwWrongLength, "wrong length"},
    Entry{kSwSecurityNotSatisfied, "security status not satisfied"},
    Entry{kSwPinBlocked, "PIN blocked"},
    Entry{kSwInvalidReference, "invalid reference"},
    Entry{kSwConditionsNotSatisfied, "conditions not satisfied"},
    Entry{kSwSecureMessagingError, "secure messaging data incorrect"},
    Entry{kSwNotVerified, "not verified"},
    Entry{kSwSlotEmpty, "fingerprint slot empty"},
    Entry{kSwNoSpace, "no space left"},
    Entry{kSwNoFinger, "no finger on the sensor"},
    Entry{kSwSlotOccupied, "fingerprint slot occupied"},
    Entry{kSwWrongP1P2, "wrong parameters P1-P2"},
    Entry{kSwInstructionNotSupported, "instruction not supported"},
    Entry{kSwClassNotSupported, "class not supported"},
    Entry{kSwFingerStillOnSensor, "finger still on the sensor"},
    Entry{kSwTransportFailure, "transport failure"},
    Entry{kSwBuildFailure, "secure APDU could not be built"},
    Entry{kStatusEntryError, "entry error"},
    Entry{kStatusNoResult, "no result"},
    Entry{kStatusNoPinToken, "the key sent no usable PIN token"},
    Entry{kStatusMalformedAnswer, "the key's answer could not be read"},
};

constexpr std::size_t kLineSize = 160;

template <std::size_t N>
std::string_view Find(const std::array<Entry, N>& table, int code) {
    for (const Entry& entry : table) {
        if (entry.code == code) {
            return entry.text;
        }
    }
    return {};
}

std::string Format(const char* format, long long code, std::string_view text) {
    std::array<char, kLineSize> line{};
    const int written = std::snprintf(line.data(), line.size(), format, code,
                                      static_cast<int>(text.size()), text.data());
    return written > 0 ? std::string(line.data()) : std::string("status");
}

constexpr int kLastCtapStatus = 0xFF;

}  // namespace

std::uint16_t SuccessStatus(std::uint16_t productId) {
    return IsLegacyModel(productId) ? static_cast<std::uint16_t>(kSwSuccess)
                                    : static_cast<std::uint16_t>(kCtapSuccess);
}

std::string StatusText(int status) {
    if (status < 0) {
        std::array<char, kLineSize> detail{};
        mbedtls_strerror(status, detail.data(), detail.size());
        return Format("mbed TLS -0x%04llX: %.*s", -static_cast<long long>(status), detail.data());
    }
    if (status <= kLastCtapStatus) {
        const std::string_view text = Find(kCtapTexts, status);
        return Format("CTAP 0x%02llX: %.*s", status, text.empty() ? "unknown status" : text);
    }
    if (const std::optional<std::uint32_t> retries = LegacyPinRetries(status)) {
        const std::string text = "wrong PIN, " + std::to_string(*retries) + " retries left";
        return Format("SW 0x%04llX: %.*s", status, text);
    }
    const std::string_view text = Find(kWordTexts, status);
    return Format("SW 0x%04llX: %.*s", status, text.empty() ? "unknown status" : text);
}

}  // namespace kelvora
