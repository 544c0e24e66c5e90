// The key's own small CBOR value model (RFC 8949) for requests and responses.
//
// The key decodes every request into a tree before it looks at it, and encodes responses in
// the CTAP2 canonical form (CTAP 2.1 §8: definite lengths, shortest heads, map keys sorted
// by their encodings, shorter first). Limits: nesting depth 8, no tags, no floating point,
// no indefinite lengths; a request outside them is CTAP2_ERR_INVALID_CBOR. Text strings are
// kept as the bytes that arrived and are not checked as UTF-8: the tool's fingerprint names
// travel in a text string in code page 932.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "vkey/bytes.h"

namespace kelvora::vkey {

class CborItem {
  public:
    enum class Type { kUnsigned, kNegative, kBytes, kText, kArray, kMap, kBool, kNull };
    using Pair = std::pair<CborItem, CborItem>;

    CborItem() : type_(Type::kNull) {}
    static CborItem Int(std::int64_t value);
    static CborItem ByteString(ByteView bytes);
    static CborItem Text(std::string_view text);
    static CborItem Bool(bool value);
    static CborItem Array(std::vector<CborItem> items);
    static CborItem Map(std::vector<Pair> pairs);

    Type type() const { return type_; }
    bool IsInteger() const { return type_ == Type::kUnsigned || type_ == Type::kNegative; }
    // Value of an integer item; for kNegative this is -1 - n as CBOR defines it.
    std::int64_t integer() const { return integer_; }
    bool boolean() const { return boolean_; }
    const Bytes& bytes() const { return bytes_; }  // byte and text strings
    const std::vector<CborItem>& items() const { return items_; }
    const std::vector<Pair>& pairs() const { return pairs_; }
    // The bytes this item was decoded from (empty for items built in code). A MAC over a
    // member is checked against these, not against a re-encoding.
    const Bytes& raw() const { return raw_; }

    // Map member lookup by integer or text key; nullptr when absent or not a map.
    const CborItem* Find(std::int64_t key) const;
    const CborItem* Find(std::string_view key) const;

    bool operator==(const CborItem& other) const;

  private:
    explicit CborItem(Type type) : type_(type) {}

    Type type_;
    std::int64_t integer_ = 0;
    bool boolean_ = false;
    Bytes bytes_;
    std::vector<CborItem> items_;
    std::vector<Pair> pairs_;
    Bytes raw_;

    friend class CborDecoder;
};

// Decodes exactly one item spanning the whole input; trailing bytes are an error.
std::optional<CborItem> DecodeCbor(ByteView input);

// Decodes one item from the front of the input and reports how many bytes it took.
std::optional<CborItem> DecodeCborPrefix(ByteView input, std::size_t& consumed);

// Appends the canonical encoding of the item.
void EncodeCbor(const CborItem& item, Bytes& out);
Bytes EncodeCbor(const CborItem& item);

}  // namespace kelvora::vkey
