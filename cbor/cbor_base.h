// Polymorphic CBOR value and the iterative tree encoder.
//
// The base class is a bare item with a major type, additional information and an optional
// tag; container and scalar classes derive from it and answer the virtual queries. The only
// instance the tool itself uses is the shared null item. Nodes are owned by whoever builds
// the tree: nothing here deletes an item.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cbor/cbor_constants.h"

namespace kelvora {

class CborBase {
  public:
    constexpr CborBase(std::uint8_t majorType, std::uint8_t additionalInfo,
                       std::uint32_t tag = kCborNoTag)
        : majorType_(majorType), additionalInfo_(additionalInfo), tag_(tag) {}
    virtual ~CborBase() = default;

    CborBase(const CborBase&) = default;
    CborBase& operator=(const CborBase&) = default;

    // Writes the item into `buffer` (`room` bytes) and returns the bytes written. The base
    // writes its tag head, if any, and its initial byte, both or nothing.
    virtual std::uint32_t encode(std::uint8_t* buffer, std::uint32_t room) const;
    // Reserved for derived classes; the base answers 0.
    virtual std::uint32_t reservedQuery() const { return 0; }
    // Elements of an array, or key/value pairs of a map. The base has none.
    virtual std::uint32_t count() const { return 0; }
    virtual const CborBase* element(std::uint32_t index) const;
    virtual const CborBase* key(std::uint32_t index) const;
    virtual const CborBase* value(std::uint32_t index) const;
    // Appends the diagnostic text of this item alone (no indentation, no children).
    virtual void dump(std::string& out) const;

    std::uint8_t majorType() const { return majorType_; }
    std::uint8_t additionalInfo() const { return additionalInfo_; }
    std::uint32_t tag() const { return tag_; }
    bool hasTag() const { return tag_ != kCborNoTag; }

    // The process-wide null item (major type 7, simple value 22, no tag).
    static const CborBase& null();

  private:
    std::uint8_t majorType_;
    std::uint8_t additionalInfo_;
    std::uint32_t tag_;
};

// Encodes the trees under `roots`, in order, into `buffer` (`size` bytes) without recursion:
// nesting is bounded only by memory. Arrays and maps are written as their head followed by
// their elements (key 0, value 0, key 1, ...); every other item encodes itself. An item that
// does not fit is left out, as with CborWriter. Null entries are skipped. `roots` is used as
// the work list and is empty on return. Returns the total bytes written.
std::uint32_t encodeTree(std::uint8_t* buffer, std::uint32_t size,
                         std::vector<const CborBase*>& roots);

}  // namespace kelvora
