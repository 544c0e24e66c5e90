// The ClientPIN operations of PIN protocol one as the PIN dialogs run them: retries, set,
// change, and the PIN token the fingerprint commands authenticate with.
//
// Every operation that needs a shared secret agrees a fresh one first and forgets it when it
// returns; a failed agreement ends the operation before anything that could change the key
// is sent. PINs are passed as their UTF-8 bytes and are never copied except into buffers that
// are wiped. Results share one integer space (see ctap/status.h): the key's CTAP status, 0x12
// or a negative mbed TLS error from the agreement, or kNoPinToken.
//
// Not thread-safe: the caller holds the session for the duration (see FidoDevice).
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "ctap/pin_crypto.h"
#include "transport/fido_device.h"

namespace kelvora {

// Reads the key's COSE public key from a getKeyAgreement response and agrees a secret with
// it. Returns 0, 0x12 when the response holds no key with two coordinates of at least 32
// bytes, or the negative mbed TLS error.
int DeriveSharedSecret(const std::uint8_t* response, std::uint32_t length,
                       pin_crypto::KeyAgreement& out);

// Sends getKeyAgreement and runs DeriveSharedSecret on the answer. The exchange's status is
// not examined: an error answer has no key in it and gives 0x12.
int RequestKeyAgreement(FidoDevice& device, pin_crypto::KeyAgreement& out);

// Reads the key's PIN retry counter into `retries`. Returns 0, the key's refusal, the
// session's failure, or 0x12 for a success without a count: an unread count is never taken
// for 0, which means a locked key.
int GetPinRetries(FidoDevice& device, std::uint32_t& retries);
// The same, for callers that show the count: nothing when it could not be read.
std::optional<std::uint32_t> GetPinRetries(FidoDevice& device);

// Sets the first PIN. Returns the setPIN status or the agreement's failure.
int SetPin(FidoDevice& device, std::string_view pinUtf8);

// Changes the PIN. Returns the changePIN status or the agreement's failure.
int ChangePin(FidoDevice& device, std::string_view currentPinUtf8, std::string_view newPinUtf8);

// Obtains the PIN token into keyState.pinToken. Returns the getPINToken status, the
// agreement's failure, or kNoPinToken when the key answered success without a token that
// can be decrypted (missing, empty, or not a whole number of AES blocks). pinToken changes
// only on success.
int GetPinToken(FidoDevice& device, std::string_view pinUtf8);

// Asks for a token again after the PIN was set or changed, whatever the key answers: a
// failed request or an answer without a token leaves pinToken empty. Returns 0, the
// agreement's failure (pinToken unchanged), or kNoPinToken for a token that is not a whole
// number of AES blocks (pinToken unchanged).
int RefreshPinToken(FidoDevice& device, std::string_view pinUtf8);

}  // namespace kelvora
