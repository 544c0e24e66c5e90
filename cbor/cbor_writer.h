// Streaming CBOR encoder into a caller-supplied fixed buffer.
//
// Requests are built in place, usually straight after the command byte in a stack buffer,
// by one chain of calls: map head, key, value, key, value, ... The writer never allocates
// and never reports an error: an item that does not fit is left out entirely (nothing of it
// is written) and the chain goes on, so callers that care compare `length()` with what
// they expected. A writer without a buffer writes nothing at all.
//
// Heads always take the shortest form for their argument (RFC 7049 §3.9). Arguments are at
// most 32 bits; 64-bit arguments and floating-point values are outside this codec. The
// writer does not sort map keys, detect duplicates, or check that a container receives as
// many items as its head announced: CTAP2 requests list their keys in canonical order
// themselves (CTAP 2.1 §8).
#pragma once

#include <cstdint>
#include <string_view>

#include "cbor/cbor_constants.h"

namespace kelvora {

class CborWriter {
  public:
    CborWriter() = default;
    CborWriter(std::uint8_t* buffer, std::uint32_t capacity) { init(buffer, capacity); }

    // Starts writing at `buffer`, which holds `capacity` bytes and outlives the writer's use.
    CborWriter& init(std::uint8_t* buffer, std::uint32_t capacity);
    // Detaches from the buffer: every later operation writes nothing until `init`.
    CborWriter& reset();

    // Bytes written so far.
    std::uint32_t length() const { return length_; }
    std::uint32_t capacity() const { return capacity_; }

    // Major type 0 for value >= 0, major type 1 with argument -1 - value otherwise.
    CborWriter& putInt(std::int32_t value);
    // A byte string; `data` may be null only when `n` is 0 (a null source writes nothing).
    CborWriter& putBytes(const std::uint8_t* data, std::uint32_t n);
    // A text string of `n` bytes copied unchanged: the caller supplies UTF-8.
    CborWriter& putText(const char* data, std::uint32_t n);
    CborWriter& putText(std::string_view text);
    // Container heads; `count` of a map is its number of key/value pairs.
    CborWriter& beginArray(std::uint32_t count);
    CborWriter& beginMap(std::uint32_t count);
    CborWriter& putTag(std::uint32_t tag);
    // Simple values 0 to 23 (20 false, 21 true, 22 null, 23 undefined); others write nothing,
    // because 24 and up would turn the byte into a float or break head.
    CborWriter& putSimple(std::uint8_t value);
    CborWriter& beginIndefiniteArray();
    CborWriter& beginIndefiniteMap();
    CborWriter& putBreak();

    // Copies `n` bytes unchanged (an item encoded elsewhere); returns how many were copied,
    // 0 when the source is null or the bytes do not fit.
    std::uint32_t putRaw(const std::uint8_t* data, std::uint32_t n);

    // Bytes a head with this argument takes: 1, 2, 3 or 5.
    static std::uint32_t headSize(std::uint32_t argument);

  private:
    std::uint32_t room() const { return capacity_ - length_; }
    // Writes a head of major type 0 to 6 followed by `payloadSize` bytes of `payload`, or
    // nothing when the whole does not fit.
    CborWriter& putItem(CborMajorType type, std::uint32_t argument,
                        const std::uint8_t* payload = nullptr, std::uint32_t payloadSize = 0);
    CborWriter& putByte(std::uint8_t byte);

    std::uint8_t* buffer_ = nullptr;
    std::uint32_t length_ = 0;
    std::uint32_t capacity_ = 0;
};

// Writes the head of major type 0 to 6 with `argument` into `out`, which has `room` bytes.
// Returns the bytes written, or 0 when it does not fit, `out` is null or the type is 7.
std::uint32_t writeCborHead(std::uint8_t* out, std::uint32_t room, CborMajorType type,
                            std::uint32_t argument);

}  // namespace kelvora
