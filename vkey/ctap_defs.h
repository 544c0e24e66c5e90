// CTAP2 command bytes, statuses and CBOR member keys the virtual key speaks.
#pragma once

#include <cstdint>

namespace kelvora::vkey {

enum class CtapCommand : std::uint8_t {
    kMakeCredential = 0x01,
    kGetAssertion = 0x02,
    kGetInfo = 0x04,
    kClientPin = 0x06,
    kReset = 0x07,
    kGetNextAssertion = 0x08,
    kCredentialManagement = 0x0A,
    kBioEnrollmentPreview = 0x40,
    kCredentialManagementPreview = 0x41,
    // The same commands in the command bytes of firmware 18 and later.
    kVendorGetInfo = 0x44,
    kVendorClientPin = 0x46,
    kVendorReset = 0x47,
    kVendorMakeCredential = 0x48,
    kVendorBioEnrollment = 0x50,
};

enum class CtapStatus : std::uint8_t {
    kSuccess = 0x00,
    kInvalidCommand = 0x01,
    kInvalidParameter = 0x02,
    kInvalidLength = 0x03,
    kInvalidCbor = 0x12,
    kMissingParameter = 0x14,
    kCredentialExcluded = 0x19,
    kUnsupportedAlgorithm = 0x26,
    kUnsupportedOption = 0x2B,
    kInvalidOption = 0x2C,
    kKeepaliveCancel = 0x2D,
    kNoCredentials = 0x2E,
    kKeyStoreFull = 0x28,  // also this key's "finger not recognised"
    kUserActionTimeout = 0x2F,
    kNotAllowed = 0x30,
    kPinInvalid = 0x31,
    kPinBlocked = 0x32,
    kPinAuthInvalid = 0x33,
    kPinAuthBlocked = 0x34,
    kPinNotSet = 0x35,
    kPinRequired = 0x36,
    kPinPolicyViolation = 0x37,
    kInvalidSubcommand = 0x3E,
    kOther = 0x7F,
};

// authenticatorClientPIN (CTAP 2.0 §5.5).
enum class PinSubcommand : std::int64_t {
    kGetRetries = 1,
    kGetKeyAgreement = 2,
    kSetPin = 3,
    kChangePin = 4,
    kGetPinToken = 5,
};

enum class PinRequestKey : std::int64_t {
    kPinProtocol = 1,
    kSubCommand = 2,
    kKeyAgreement = 3,
    kPinAuth = 4,
    kNewPinEnc = 5,
    kPinHashEnc = 6,
};

enum class PinResponseKey : std::int64_t {
    kKeyAgreement = 1,
    kPinToken = 2,
    kRetries = 3,
};

// COSE_Key members of the ECDH key (RFC 8152 §13.1.1).
enum class CoseKey : std::int64_t {
    kKty = 1,
    kAlg = 3,
    kCrv = -1,
    kX = -2,
    kY = -3,
};
inline constexpr std::int64_t kCoseKtyEc2 = 2;
inline constexpr std::int64_t kCoseAlgEcdhEsHkdf256 = -25;
inline constexpr std::int64_t kCoseCrvP256 = 1;

inline constexpr std::int64_t kPinProtocolOne = 1;

// Bio enrollment, prototype form (CTAP 2.1 preview, authenticatorBioEnrollment).
enum class BioSubcommand : std::int64_t {
    kEnrollBegin = 1,
    kEnrollCaptureNextSample = 2,
    kCancelCurrentEnrollment = 3,
    kEnumerateEnrollments = 4,
    kSetFriendlyName = 5,
    kRemoveEnrollment = 6,
    kGetFingerprintSensorInfo = 7,
    // This maker's own subcommands, models 6 and 7 only.
    kVerifyFingerprint = 8,
    kGetFingerprintRetries = 9,
};

enum class BioRequestKey : std::int64_t {
    kModality = 1,
    kSubCommand = 2,
    kSubCommandParams = 3,
    kPinProtocol = 4,
    kPinAuth = 5,
    kGetModality = 6,
};

enum class BioParamKey : std::int64_t {
    kTemplateId = 1,
    kTemplateFriendlyName = 2,
    kTimeoutMilliseconds = 3,
};

enum class BioResponseKey : std::int64_t {
    kModality = 1,
    kFingerprintKind = 2,
    kMaxCaptureSamples = 3,
    kTemplateId = 4,
    kLastEnrollSampleStatus = 5,
    kRemainingSamples = 6,
    kTemplateInfos = 7,
};

enum class TemplateInfoKey : std::int64_t {
    kTemplateId = 1,
    kFriendlyName = 2,
};

inline constexpr std::int64_t kModalityFingerprint = 1;
inline constexpr std::int64_t kFingerprintKindTouch = 1;

// lastEnrollSampleStatus values (CTAP 2.1 §6.7.4).
enum class SampleStatus : std::uint8_t {
    kGood = 0x00,
    kNoUserActivity = 0x0D,
    kNoUpTransition = 0x0E,
};

// authenticatorGetInfo (CTAP 2.0 §5.4).
enum class InfoKey : std::int64_t {
    kVersions = 1,
    kExtensions = 2,
    kAaguid = 3,
    kOptions = 4,
    kMaxMsgSize = 5,
    kPinProtocols = 6,
};

// authenticatorMakeCredential members.
enum class MakeCredentialKey : std::int64_t {
    kClientDataHash = 1,
    kRp = 2,
    kUser = 3,
    kPubKeyCredParams = 4,
    kExcludeList = 5,
    kOptions = 7,
    kPinAuth = 8,
    kPinProtocol = 9,
};

enum class AttestationKey : std::int64_t {
    kFmt = 1,
    kAuthData = 2,
    kAttStmt = 3,
};

// authenticatorGetAssertion (CTAP 2.0 §5.2).
enum class GetAssertionKey : std::int64_t {
    kRpId = 1,
    kClientDataHash = 2,
    kAllowList = 3,
    kOptions = 5,
    kPinAuth = 6,
    kPinProtocol = 7,
};

enum class AssertionKey : std::int64_t {
    kCredential = 1,
    kAuthData = 2,
    kSignature = 3,
    kUser = 4,
    kNumberOfCredentials = 5,
};

inline constexpr std::int64_t kCoseAlgEs256 = -7;

// authenticatorCredentialManagement (CTAP 2.1 §6.8).
enum class CredManSubcommand : std::int64_t {
    kGetCredsMetadata = 1,
    kEnumerateRpsBegin = 2,
    kEnumerateRpsGetNextRp = 3,
    kEnumerateCredentialsBegin = 4,
    kEnumerateCredentialsGetNextCredential = 5,
    kDeleteCredential = 6,
};

enum class CredManRequestKey : std::int64_t {
    kSubCommand = 1,
    kSubCommandParams = 2,
    kPinProtocol = 3,
    kPinAuth = 4,
};

enum class CredManParamKey : std::int64_t {
    kRpIdHash = 1,
    kCredentialId = 2,
};

enum class CredManResponseKey : std::int64_t {
    kExistingCount = 1,
    kRemainingCount = 2,
    kRp = 3,
    kRpIdHash = 4,
    kTotalRps = 5,
    kUser = 6,
    kCredentialId = 7,
    kPublicKey = 8,
    kTotalCredentials = 9,
    kCredProtect = 0x0A,
};

}  // namespace kelvora::vkey
