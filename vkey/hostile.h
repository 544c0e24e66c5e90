// A key that misbehaves on purpose, so that tests (and `kelvora-vkey --hostile MODE`) can
// check that the tool fails every operation cleanly against it: with a status, never a
// crash, never a hang. One behaviour at a time, applied to every CBOR-message answer.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "vkey/bytes.h"

namespace kelvora::vkey {

enum class Hostility {
    kNone,
    kLengthBeyondMessage,  // the first packet announces more bytes than ever come
    kTruncatedMessage,     // the answer is cut to half its length, framed correctly
    kWrongCborTypes,       // every member of a successful answer has the wrong type
    kBadKeyAgreement,      // the key-agreement key's x and y are 31 bytes long
    kOddTokenLength,       // the encrypted PIN token is 15 bytes long
    kEndlessKeepalive,     // keep-alives for ever instead of an answer
    kSilent,               // no packet at all in answer to a request
    kErrorMidMessage,      // the first packet, then CTAPHID_ERROR instead of the rest
    kBadCounts,            // credential management counts and totals say 2^32 - 1
};

// The names `--hostile` takes, e.g. "silent" or "endless-keepalive".
std::optional<Hostility> HostilityFromName(std::string_view name);
std::string_view HostilityName(Hostility hostility);
// Every behaviour but kNone, for tests that go through them all.
const std::vector<Hostility>& AllHostilities();

// The answer body a hostile key gives to `request` in place of `response` (the behaviours
// that change content: truncation, wrong types, key agreement, token, counts).
Bytes HostileAnswer(Hostility hostility, ByteView request, Bytes response, bool apduRequest);

// The packets that carry `payload` on `channel` for the behaviours that break the framing
// (kLengthBeyondMessage, kErrorMidMessage); the ordinary framing otherwise.
std::vector<Packet> HostileFrames(Hostility hostility, std::uint32_t channel, ByteView payload);

}  // namespace kelvora::vkey
