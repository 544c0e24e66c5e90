// Requests of the prototype bio enrollment command (CTAP 2.1 §6.7 in its preview form,
// command byte 0x40, or 0x50 with the vendor command set) and their pinAuth.
//
// A request is the command byte followed by one CBOR map with the integer keys in ascending
// order: modality, subCommand, subCommandParams when the subcommand takes any, and
// pinProtocol with pinAuth when asked for. pinAuth is LEFT(HMAC-SHA-256(pinToken,
// modality || subCommand || subCommandParams), 16) with the whole token as the key.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "transport/fido_device.h"
#include "transport/key_state.h"

namespace kelvora {

enum class BioSubCommand : std::uint8_t {
    kEnrollBegin = 1,
    kEnrollCaptureNextSample = 2,
    kCancelCurrentEnrollment = 3,
    kEnumerateEnrollments = 4,
    kSetFriendlyName = 5,
    kRemoveEnrollment = 6,
    // The maker's own subcommands (sixth and seventh models).
    kVerifyFingerprint = 8,
    kGetFingerprintRetries = 9,
};

// Members of the request map.
enum class BioRequestKey : std::int32_t {
    kModality = 1,
    kSubCommand = 2,
    kSubCommandParams = 3,
    kPinProtocol = 4,
    kPinAuth = 5,
};

// Members of subCommandParams.
enum class BioParamKey : std::int32_t {
    kTemplateId = 1,
    kTemplateFriendlyName = 2,
    kTimeoutMilliseconds = 3,
};

// Members of the response map that the tool reads.
enum class BioResponseKey : std::int32_t {
    kTemplateId = 4,
    kLastEnrollSampleStatus = 5,
    kRemainingSamples = 6,
    kTemplateInfos = 7,
};

// Members of one templateInfos element.
enum class TemplateInfoKey : std::int32_t {
    kTemplateId = 1,
    kTemplateFriendlyName = 2,
};

inline constexpr std::uint32_t kModalityFingerprint = 1;
// How long the key waits for each sample.
inline constexpr std::uint32_t kSampleTimeoutMs = 5000;

// Room for the command byte and a map of up to 4095 bytes; responses are read into 4096.
inline constexpr std::size_t kBioRequestSize = 4096;
inline constexpr std::size_t kBioResponseSize = 4096;

// The parameters a subcommand takes; members left empty are not written.
struct BioParams {
    std::optional<std::span<const std::uint8_t>> templateId;
    // Bytes of the ANSI code page, written unchanged as a CBOR text string.
    std::optional<std::string_view> friendlyName;
    bool sampleTimeout = false;  // timeoutMilliseconds: kSampleTimeoutMs

    bool empty() const { return !templateId && !friendlyName && !sampleTimeout; }
};

struct BioRequest {
    std::array<std::uint8_t, kBioRequestSize> bytes{};
    std::uint32_t length = 0;

    std::span<const std::uint8_t> span() const { return {bytes.data(), length}; }
};

// Rule A (enrolling and naming during an enrollment): with a PIN set, except after the user
// proved a fingerprint instead (fingerprints configured and no token held).
bool BioPinAuthRuleA(const KeyState& state);
// Rule B (enumeration): with a PIN set and a token held.
bool BioPinAuthRuleB(const KeyState& state);

// Builds the request for `subCommand` with the command byte of the attached key; with
// `withPinAuth` the pinAuth is computed from state.pinToken. Returns false, leaving
// `out.length` 0, when the request does not fit (an over-long name).
bool BuildBioRequest(const KeyState& state, BioSubCommand subCommand, const BioParams& params,
                     bool withPinAuth, BioRequest& out);

// The message pinAuth is computed over: modality, subCommand, then subCommandParams
// encoded as in the request. Returns its length, 0 when `out` is too small.
std::size_t BioPinAuthMessage(BioSubCommand subCommand, const BioParams& params,
                              std::span<std::uint8_t> out);

// Sends a request with SendCborCommand and returns its status. On return `dataLength` is the
// length of the data after the status byte (0 for a status byte alone), copied to the start
// of `response`; data longer than `response` is not copied and gives kCtapResponseTooLarge.
std::uint8_t SendBioRequest(FidoDevice& device, const BioRequest& request,
                            std::span<std::uint8_t> response, std::uint32_t& dataLength);

}  // namespace kelvora
