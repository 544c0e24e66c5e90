// Writer -> view property: whatever the writer produces from a random sequence of items,
// the view reads back the same values, and an item that does not fit is left out whole.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "cbor/cbor_constants.h"
#include "cbor/cbor_view.h"
#include "cbor/cbor_writer.h"

namespace {

using kelvora::CborView;
using kelvora::CborWriter;

void check(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

class Input {
  public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool done() const { return offset_ >= size_; }
    std::uint8_t byte() { return done() ? 0 : data_[offset_++]; }
    std::uint32_t word() {
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            value = (value << 8) | byte();
        }
        return value;
    }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t offset_ = 0;
};

enum class Kind : std::uint8_t { kInt, kBytes, kText, kSimple, kMapOfOne };

struct Expected {
    Kind kind;
    std::int32_t value;  // integer, simple value, or map key
    std::uint32_t length;
};

constexpr std::uint32_t kMaxItems = 64;
constexpr std::uint32_t kMaxString = 300;
std::array<std::uint8_t, kMaxString> gFill{};

void write(CborWriter& writer, const Expected& e) {
    switch (e.kind) {
        case Kind::kInt:
            writer.putInt(e.value);
            break;
        case Kind::kBytes:
            writer.putBytes(gFill.data(), e.length);
            break;
        case Kind::kText:
            writer.putText(reinterpret_cast<const char*>(gFill.data()), e.length);
            break;
        case Kind::kSimple:
            writer.putSimple(static_cast<std::uint8_t>(e.value));
            break;
        case Kind::kMapOfOne:
            writer.beginMap(1).putInt(e.value).putBytes(gFill.data(), e.length);
            break;
    }
}

void verify(const CborView& element, const Expected& e) {
    std::uint32_t unsignedValue = 0;
    std::int64_t negativeValue = 0;
    const std::uint8_t* bytes = nullptr;
    const char* text = nullptr;
    std::uint32_t length = 0;
    switch (e.kind) {
        case Kind::kInt:
            if (e.value >= 0) {
                check(element.getUnsigned(unsignedValue) &&
                      unsignedValue == static_cast<std::uint32_t>(e.value));
            } else {
                check(element.getNegative(negativeValue) && negativeValue == e.value);
            }
            break;
        case Kind::kBytes:
            check(element.getBytes(bytes, length) && length == e.length);
            check(length == 0 || std::memcmp(bytes, gFill.data(), length) == 0);
            break;
        case Kind::kText:
            check(element.getText(text, length) && length == e.length);
            break;
        case Kind::kSimple:
            check(element.getSimple() == e.value);
            break;
        case Kind::kMapOfOne:
            check(element.findKey(e.value).getBytes(bytes, length) && length == e.length);
            break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    for (std::size_t i = 0; i < gFill.size(); ++i) {
        gFill[i] = static_cast<std::uint8_t>(i * 7 + 1);
    }
    Input input(data, size);
    std::vector<Expected> items;
    while (!input.done() && items.size() < kMaxItems) {
        const auto kind = static_cast<Kind>(input.byte() % 5);
        const std::uint32_t word = input.word();
        Expected e{kind, static_cast<std::int32_t>(word), word % kMaxString};
        if (kind == Kind::kSimple) {
            e.value = static_cast<std::int32_t>(word % (kelvora::kCborMaxImmediate + 1));
        }
        items.push_back(e);
    }

    // Unlimited room: the array reads back element by element and its size is exact.
    std::vector<std::uint8_t> buffer(8 + items.size() * (kMaxString + 16));
    CborWriter writer(buffer.data(), static_cast<std::uint32_t>(buffer.size()));
    writer.beginArray(static_cast<std::uint32_t>(items.size()));
    for (const Expected& e : items) {
        write(writer, e);
    }
    const CborView view(buffer.data(), writer.length());
    check(view.itemSize() == writer.length());
    check(view.getCount() == items.size());
    for (std::uint32_t i = 0; i < items.size(); ++i) {
        verify(view.at(i), items[i]);
    }
    check(view.at(static_cast<std::uint32_t>(items.size())).empty());

    // Limited room: each item is written whole or not at all, so every stored item is a
    // well-formed item on its own and the length never passes the capacity.
    const std::uint32_t capacity = writer.length() == 0 ? 0 : input.word() % writer.length();
    std::vector<std::uint8_t> small(capacity + 1, 0xEE);
    CborWriter limited(small.data(), capacity);
    for (const Expected& e : items) {
        const std::uint32_t before = limited.length();
        write(limited, e);
        check(limited.length() <= capacity);
        if (e.kind != Kind::kMapOfOne && limited.length() > before) {
            check(CborView(small.data() + before, limited.length() - before).itemSize() ==
                  limited.length() - before);
        }
    }
    check(small[capacity] == 0xEE);
    return 0;
}
