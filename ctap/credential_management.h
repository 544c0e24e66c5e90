// Requests of the credential management command (CTAP 2.1 §6.8), which lists and deletes
// the passkeys (resident credentials) a key holds: command byte 0x41 on keys that offer the
// prototype ("credentialMgmtPreview"), 0x0A on keys that offer "credMgmt".
//
// A request is the command byte followed by one CBOR map with the integer keys in ascending
// order: subCommand, subCommandParams when the subcommand takes any, and pinUvAuthProtocol
// with pinUvAuthParam when asked for. pinUvAuthParam is LEFT(HMAC-SHA-256(pinToken,
// subCommand || subCommandParams), 16) with the whole token as the key; the GetNext
// subcommands carry none, as the key keeps the enumeration it began.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "transport/fido_device.h"
#include "transport/key_state.h"

namespace kelvora {

// The command byte a key takes for credential management, 0 when it offers none.
enum class PasskeyCommand : std::uint8_t {
    kNone = 0x00,
    kStandard = 0x0A,
    kPreview = 0x41,
};

// What GetInfo last said, from keyState.passkeyCommand.
PasskeyCommand PasskeyCommandOf(const KeyState& state);

enum class CredManSubCommand : std::uint8_t {
    kGetCredsMetadata = 0x01,
    kEnumerateRpsBegin = 0x02,
    kEnumerateRpsGetNextRp = 0x03,
    kEnumerateCredentialsBegin = 0x04,
    kEnumerateCredentialsGetNextCredential = 0x05,
    kDeleteCredential = 0x06,
};

// Members of the request map.
enum class CredManRequestKey : std::int32_t {
    kSubCommand = 1,
    kSubCommandParams = 2,
    kPinUvAuthProtocol = 3,
    kPinUvAuthParam = 4,
};

// Members of subCommandParams.
enum class CredManParamKey : std::int32_t {
    kRpIdHash = 1,
    kCredentialId = 2,
};

// Members of the response map.
enum class CredManResponseKey : std::int32_t {
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

inline constexpr std::size_t kRpIdHashSize = 32;
inline constexpr std::size_t kCredManRequestSize = 2048;
inline constexpr std::size_t kCredManResponseSize = 4096;
// The longest credential id a request carries back to the key; real keys use 16 to 128.
inline constexpr std::size_t kMaxCredentialIdSize = 1024;

// The parameters a subcommand takes; members left empty are not written.
struct CredManParams {
    std::optional<std::span<const std::uint8_t>> rpIdHash;
    // Written as the descriptor {"id": ..., "type": "public-key"}.
    std::optional<std::span<const std::uint8_t>> credentialId;

    bool empty() const { return !rpIdHash && !credentialId; }
};

struct CredManRequest {
    std::array<std::uint8_t, kCredManRequestSize> bytes{};
    std::uint32_t length = 0;

    std::span<const std::uint8_t> span() const { return {bytes.data(), length}; }
};

// Builds the request for `subCommand` with `command` as its first byte; with `withPinAuth`
// the pinUvAuthParam is computed from state.pinToken. Returns false, leaving `out.length` 0,
// when the request does not fit (an over-long credential id) or `command` is kNone.
bool BuildCredManRequest(const KeyState& state, PasskeyCommand command,
                         CredManSubCommand subCommand, const CredManParams& params,
                         bool withPinAuth, CredManRequest& out);

// The message pinUvAuthParam is computed over. Returns its length, 0 when `out` is too small.
std::size_t CredManPinAuthMessage(CredManSubCommand subCommand, const CredManParams& params,
                                  std::span<std::uint8_t> out);

// Sends a request and returns its status; `dataLength` is the length of the data after the
// status byte, copied to the start of `response` (kCtapResponseTooLarge when it does not fit).
std::uint8_t SendCredManRequest(FidoDevice& device, const CredManRequest& request,
                                std::span<std::uint8_t> response, std::uint32_t& dataLength);

}  // namespace kelvora
