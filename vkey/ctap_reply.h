// Building CTAP2 response messages: the status byte, then the CBOR body when there is one.
#pragma once

#include <optional>

#include "vkey/ctap_defs.h"
#include "vkey/key_cbor.h"
#include "vkey/key_context.h"

namespace kelvora::vkey {

inline Bytes StatusOnly(CtapStatus status) {
    return Bytes{static_cast<std::uint8_t>(status)};
}

inline Bytes Reply(CtapStatus status, const CborItem& body) {
    Bytes out{static_cast<std::uint8_t>(status)};
    EncodeCbor(body, out);
    return out;
}

// The answer to a wait for a touch that ended without a finger (cancelled, or timed out);
// nothing when a finger came.
inline std::optional<Bytes> NoFingerReply(const FingerOutcome& outcome) {
    switch (outcome.kind) {
        case FingerOutcome::Kind::kCancelled:
            return StatusOnly(CtapStatus::kKeepaliveCancel);
        case FingerOutcome::Kind::kTimeout:
            return StatusOnly(CtapStatus::kUserActionTimeout);
        case FingerOutcome::Kind::kFinger:
            break;
    }
    return std::nullopt;
}

template <typename Key>
CborItem::Pair Member(Key key, CborItem value) {
    return {CborItem::Int(static_cast<std::int64_t>(key)), std::move(value)};
}

template <typename Key>
const CborItem* FindMember(const CborItem& map, Key key) {
    return map.Find(static_cast<std::int64_t>(key));
}

}  // namespace kelvora::vkey
