// Reads arbitrary bytes the way responses from a key are read: lookups, element access,
// getters, itemSize and the dump must stay inside the data and agree with each other.
#include <cstddef>
#include <cstdint>
#include <ostream>
#include <streambuf>

#include "cbor/cbor_view.h"

namespace {

using kelvora::CborView;

class NullBuffer : public std::streambuf {
  protected:
    int overflow(int c) override { return c; }
    std::streamsize xsputn(const char* /*s*/, std::streamsize n) override { return n; }
};

void check(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

// A lookup result is empty or a suffix of the view it came from.
void checkSuffix(const CborView& outer, const CborView& inner) {
    if (inner.empty()) {
        check(inner.length() == 0);
        return;
    }
    check(inner.data() > outer.data());
    check(inner.data() + inner.length() == outer.data() + outer.length());
}

void readValue(const CborView& view) {
    std::uint32_t unsignedValue = 0;
    std::int64_t negativeValue = 0;
    const std::uint8_t* bytes = nullptr;
    const char* text = nullptr;
    std::uint32_t length = 0;
    if (view.getBytes(bytes, length)) {
        check(bytes >= view.data() && bytes + length <= view.data() + view.length());
    }
    if (view.getText(text, length)) {
        check(reinterpret_cast<const std::uint8_t*>(text) + length <= view.data() + view.length());
    }
    static_cast<void>(view.getUnsigned(unsignedValue));
    static_cast<void>(view.getNegative(negativeValue));
    static_cast<void>(view.getCount());
    static_cast<void>(view.getSimple());
    static_cast<void>(view.getTag());
    check(view.itemSize() <= view.length());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > UINT32_MAX) {
        return 0;
    }
    const CborView view(data, static_cast<std::uint32_t>(size));
    readValue(view);

    // Lookups the tool makes: PIN and bio enrollment members, COSE key members, options.
    for (const std::int32_t key : {1, 2, 3, 4, 5, 6, 7, -1, -2, -3}) {
        const CborView value = view.findKey(key);
        checkSuffix(view, value);
        readValue(value);
        const CborView inner = value.findKey(-2);
        checkSuffix(value, inner);
        readValue(inner);
    }
    const CborView options = view.findKey(4);
    for (const char* name : {"clientPin", "uv", "rk", ""}) {
        const CborView value =
            options.findText(name, static_cast<std::uint32_t>(__builtin_strlen(name)));
        checkSuffix(options, value);
        readValue(value);
    }
    for (std::uint32_t i = 0; i < 4; ++i) {
        const CborView element = view.at(i);
        checkSuffix(view, element);
        readValue(element.findKey(2));
    }

    // The size of a whole item does not depend on what follows it, and cutting its last
    // byte off makes it incomplete.
    const std::uint32_t itemSize = view.itemSize();
    if (itemSize > 0) {
        check(CborView(data, itemSize).itemSize() == itemSize);
        check(CborView(data, itemSize - 1).itemSize() == 0);
    }

    NullBuffer nullBuffer;
    std::ostream sink(&nullBuffer);
    view.dump(sink);
    return 0;
}
