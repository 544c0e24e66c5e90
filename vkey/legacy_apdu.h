// The legacy models' vendor APDUs (see apdu_defs.h for the command table), and the two
// plain queries every model answers. Returns the response APDU: data, then SW1 SW2.
//
// Secure commands (CLA 84 and 46) are checked with the challenge handed out by the last
// 80 E2 FF 00; the challenge is spent by the first command that follows, whether or not its
// MAC is good. Enrolment and verification are polled: the key answers at once whether a
// finger is on the sensor (0x9000) or not (0x6A86 while enrolling, 0x6985 while verifying).
#pragma once

#include "vkey/key_context.h"

namespace kelvora::vkey {

Bytes HandleApdu(KeyContext& ctx, ByteView apdu);

// The status word of a response APDU built by HandleApdu.
std::uint16_t StatusWordOf(const Bytes& response);

}  // namespace kelvora::vkey
