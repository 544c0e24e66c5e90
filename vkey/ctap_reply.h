// Building CTAP2 response messages: the status byte, then the CBOR body when there is one.
#pragma once

#include "vkey/ctap_defs.h"
#include "vkey/key_cbor.h"

namespace kelvora::vkey {

inline Bytes StatusOnly(CtapStatus status) {
    return Bytes{static_cast<std::uint8_t>(status)};
}

inline Bytes Reply(CtapStatus status, const CborItem& body) {
    Bytes out{static_cast<std::uint8_t>(status)};
    EncodeCbor(body, out);
    return out;
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
