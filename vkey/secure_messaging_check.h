// The key's side of the legacy models' secure messaging: checks the MAC of a protected
// command APDU and recovers its command data.
//
// A protected APDU is CLA INS P1 P2 L, then the command data encrypted in CBC mode after
// ISO/IEC 9797-1 padding method 2, then a MAC over the header (with L) and the cipher text,
// padded the same way. L counts the cipher text and the MAC. Keys of firmware 17 and later
// use AES-128 (IV: challenge || 8 zero bytes, CBC-MAC, 16-byte MAC); older keys two-key
// triple DES for the data and the ISO/IEC 9797-1 MAC algorithm 3 retail MAC (8 bytes), both
// with the challenge as IV. Every challenge serves one command only; the caller discards it.
#pragma once

#include <cstdint>

#include "vkey/bytes.h"

namespace kelvora::vkey {

enum class SecureMessagingCipher { kDes, kAes };

struct UnwrappedApdu {
    std::uint16_t statusWord = 0;  // 0x9000 when the data below can be trusted
    Bytes data;
};

UnwrappedApdu UnwrapSecureApdu(ByteView apdu, SecureMessagingCipher cipher, ByteView key,
                               ByteView challenge);

// The client's half, used by the key's tests and by the demo tooling to build protected
// APDUs; kept beside the check so both read the same layout.
Bytes WrapSecureApdu(ByteView header4, ByteView data, SecureMessagingCipher cipher, ByteView key,
                     ByteView challenge);

}  // namespace kelvora::vkey
