// Which requests the session may send a second time after the first reached the key.
//
// An answer can be lost after the key has acted on the request. Sending it again is safe only
// when it changes nothing on the key: a second changePIN or getPINToken with a wrong PIN
// costs a second retry, a second reset fails after the first one succeeded, a second
// fingerprint check spends a second attempt.
#pragma once

#include <cstdint>
#include <span>

namespace kelvora {

// A CTAP2 request (command byte, then its CBOR map) that only reads: GetInfo; ClientPIN
// getRetries and getKeyAgreement; bio enumerateEnrollments, getFingerprintSensorInfo and
// the maker's getFingerprintRetries. Both command sets count.
bool CborRequestOnlyReads(std::span<const std::uint8_t> request);

// A vendor APDU that only reads: the plain queries 80 E3 (firmware version, status bytes,
// fingerprint attempts left; not 80 E3 03, the reset), the challenge 80 E2 FF that opens
// every secure command, and the slot bitmap 84 E2 04.
bool ApduOnlyReads(std::span<const std::uint8_t> apdu);

}  // namespace kelvora
