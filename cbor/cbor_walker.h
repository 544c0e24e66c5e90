// Item-by-item walk over one CBOR item and everything nested in it, in encoding order.
//
// Shared by the lookups, itemSize and the dump of CborView. The walk keeps, per open
// nesting level, the number of items still expected there (or "until a break" for an
// indefinite length). Every head and every definite string is checked against the end of
// the data before it is used, and anything that cannot be read ends the walk as malformed:
// a truncated head or string, additional information 27 to 30, a break where no indefinite
// level is open, or a count larger than the bytes left could hold.
//
// Depth limit: the open levels are kept in a fixed array of kMaxCborNesting counters, so
// the walk never allocates and hostile input cannot exhaust memory or stack. Nesting
// deeper than that ends the walk as malformed. CTAP2 responses nest three or four levels
// (a credential inside a map inside the response map), so 32 leaves ample margin.
#pragma once

#include <array>
#include <cstdint>

#include "cbor/cbor_head.h"

namespace kelvora {

inline constexpr std::uint32_t kMaxCborNesting = 32;

struct CborWalkItem {
    std::uint32_t offset = 0;  // of the item's first byte (its tag head, if any)
    std::uint32_t size = 0;    // bytes of its head, plus the content of a definite string
    std::uint32_t depth = 0;   // 0 for the walked item itself, 1 for its elements, ...
    CborHead head;
};

class CborWalker {
  public:
    enum class Step {
        kItem,       // `item` holds the next item (breaks included)
        kDone,       // the walked item has been closed; `offset()` is its size
        kMalformed,  // the data ends early or cannot be read; `item` says where
    };

    CborWalker(const std::uint8_t* data, std::uint32_t length) : data_(data), length_(length) {}

    Step next(CborWalkItem& item);

    // Bytes consumed so far.
    std::uint32_t offset() const { return offset_; }

  private:
    // A level's counter, wide enough for twice the largest pair count.
    using Counter = std::uint64_t;
    static constexpr Counter kUntilBreak = UINT64_MAX;

    bool open(Counter items);
    void closeFinishedLevels();
    Step fail() {
        state_ = Step::kMalformed;
        return state_;
    }

    const std::uint8_t* data_;
    std::uint32_t length_;
    std::uint32_t offset_ = 0;
    Step state_ = Step::kItem;
    // The walked item is the one item of level 0.
    Counter left_ = 1;
    std::uint32_t depth_ = 0;
    std::array<Counter, kMaxCborNesting> outer_{};
};

}  // namespace kelvora
