// Non-owning, in-place reader of CBOR data, as CTAP2 responses are read.
//
// A view starts at one item and reaches to the end of the buffer it was made from. Lookups
// walk the container the view starts with and return a view starting at the value found
// (so a path such as key 1, then key -2 inside it, is two lookups in a row), or the empty
// view when there is nothing to find. Typed getters read the item the view starts with.
//
// Nothing here throws, allocates (apart from getTextString and dump) or reads past the
// view: every head and string is checked against its end. Malformed input (see CborWalker
// for what counts as malformed and for the nesting limit) behaves like a missing member:
// lookups give the empty view, getters false, itemSize 0. A lookup walks only as far as the
// member it finds, and returns it only when that member is a complete item; bytes after it
// are not examined.
#pragma once

#include <cstdint>
#include <cstdio>
#include <iosfwd>
#include <string>

#include "cbor/cbor_head.h"

namespace kelvora {

class CborView {
  public:
    CborView() = default;
    CborView(const std::uint8_t* data, std::uint32_t length) { init(data, length); }

    void init(const std::uint8_t* data, std::uint32_t length);

    const std::uint8_t* data() const { return data_; }
    std::uint32_t length() const { return length_; }
    // The "not found" result: no data. A view made of 0 bytes is empty too.
    bool empty() const { return data_ == nullptr; }

    // The head of the first item; the null item for an empty view.
    CborHead parseHead() const;

    // The value of the map entry whose key is this integer (major type 0 or 1).
    CborView findKey(std::int32_t key) const;
    // The value of the map entry whose key is a definite text string equal to these bytes.
    CborView findText(const char* name, std::uint32_t length) const;
    // The index-th element of an array (indefinite arrays included).
    CborView at(std::uint32_t index) const;

    // Each getter answers false, leaving `out` alone, unless the first item is well formed and
    // of the getter's type. Strings must be definite and lie within the view.
    bool getUnsigned(std::uint32_t& out) const;
    // -1 - argument; 64 bits wide because the argument itself may use all 32.
    bool getNegative(std::int64_t& out) const;
    bool getBytes(const std::uint8_t*& out, std::uint32_t& outLength) const;
    bool getText(const char*& out, std::uint32_t& outLength) const;
    bool getTextString(std::string& out) const;

    // Byte or text string length, element count or pair count; kIndefiniteCount for an
    // indefinite length; 0 for anything else.
    std::uint32_t getCount() const;
    std::uint8_t getMajorType() const { return parseHead().majorType; }
    std::uint32_t getTag() const { return parseHead().tag; }
    // The simple value (20 false, 21 true, 22 null) of a major type 7 item, 22 for the
    // empty view, and kNotSimple for any other item, so an integer 21 never reads as true.
    std::uint8_t getSimple() const;
    static constexpr std::uint8_t kNotSimple = 0xFF;

    // Bytes the whole first item occupies, nested content included; 0 when it is malformed
    // or cut off by the end of the view (no well-formed item takes 0 bytes).
    std::uint32_t itemSize() const;

    // Prints the first item and everything nested in it, one line per item, tab-indented by
    // depth, with "\r\n" line ends. Malformed input prints "error" and stops there.
    void dump() const;
    void dump(std::FILE* out) const;
    void dump(std::ostream& out) const;
    std::string dumpText() const;

  private:
    enum class Lookup { kIntegerKey, kTextKey, kIndex };
    CborView find(Lookup kind, std::int32_t key, const char* name, std::uint32_t nameLength,
                  std::uint32_t index) const;
    // The view from `offset` to the end, or the empty view unless a complete item starts
    // there: a lookup never hands out a value its caller cannot read.
    CborView completeItemAt(std::uint32_t offset) const;

    const std::uint8_t* data_ = nullptr;
    std::uint32_t length_ = 0;
};

}  // namespace kelvora
