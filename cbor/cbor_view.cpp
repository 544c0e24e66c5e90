#include "cbor/cbor_view.h"

#include <cstring>

#include "cbor/cbor_walker.h"

namespace kelvora {

namespace {

bool integerKeyMatches(const CborHead& head, std::int32_t wanted) {
    if (head.is(CborMajorType::kUnsigned)) {
        return wanted >= 0 && head.argument == static_cast<std::uint32_t>(wanted);
    }
    if (head.is(CborMajorType::kNegative)) {
        return -1 - std::int64_t{head.argument} == wanted;
    }
    return false;
}

bool textKeyMatches(const CborHead& head, const std::uint8_t* content, const char* name,
                    std::uint32_t nameLength) {
    return head.is(CborMajorType::kText) && !head.isIndefinite() && head.argument == nameLength &&
           (nameLength == 0 || std::memcmp(content, name, nameLength) == 0);
}

}  // namespace

void CborView::init(const std::uint8_t* data, std::uint32_t length) {
    // A view of no bytes is the empty view, whatever the pointer.
    const bool none = data == nullptr || length == 0;
    data_ = none ? nullptr : data;
    length_ = none ? 0 : length;
}

CborHead CborView::parseHead() const {
    return parseCborHead(data_, length_);
}

CborView CborView::completeItemAt(std::uint32_t offset) const {
    if (offset >= length_) {
        return {};
    }
    const CborView found(data_ + offset, length_ - offset);
    return found.itemSize() == 0 ? CborView() : found;
}

CborView CborView::find(Lookup kind, std::int32_t key, const char* name, std::uint32_t nameLength,
                        std::uint32_t index) const {
    const CborMajorType container =
        kind == Lookup::kIndex ? CborMajorType::kArray : CborMajorType::kMap;
    CborWalker walker(data_, length_);
    CborWalkItem item;
    if (walker.next(item) != CborWalker::Step::kItem || !item.head.is(container)) {
        return {};
    }
    // Position among the container's own items: for a map, even positions are keys.
    std::uint32_t position = 0;
    while (walker.next(item) == CborWalker::Step::kItem) {
        if (item.depth != 1 || item.head.isBreak()) {
            continue;
        }
        const std::uint32_t current = position++;
        bool match = false;
        switch (kind) {
            case Lookup::kIntegerKey:
                match = current % 2 == 0 && integerKeyMatches(item.head, key);
                break;
            case Lookup::kTextKey:
                match = current % 2 == 0 &&
                        textKeyMatches(item.head, data_ + item.offset + item.head.headLength, name,
                                       nameLength);
                break;
            case Lookup::kIndex:
                if (current == index) {
                    return completeItemAt(item.offset);
                }
                break;
        }
        if (match) {
            return completeItemAt(item.offset + item.size);
        }
    }
    return {};
}

CborView CborView::findKey(std::int32_t key) const {
    return find(Lookup::kIntegerKey, key, nullptr, 0, 0);
}

CborView CborView::findText(const char* name, std::uint32_t length) const {
    if (name == nullptr) {
        return {};
    }
    return find(Lookup::kTextKey, 0, name, length, 0);
}

CborView CborView::at(std::uint32_t index) const {
    return find(Lookup::kIndex, 0, nullptr, 0, index);
}

bool CborView::getUnsigned(std::uint32_t& out) const {
    const CborHead head = parseHead();
    if (!head.wellFormed() || !head.is(CborMajorType::kUnsigned)) {
        return false;
    }
    out = head.argument;
    return true;
}

bool CborView::getNegative(std::int64_t& out) const {
    const CborHead head = parseHead();
    if (!head.wellFormed() || !head.is(CborMajorType::kNegative)) {
        return false;
    }
    out = -1 - std::int64_t{head.argument};
    return true;
}

bool CborView::getBytes(const std::uint8_t*& out, std::uint32_t& outLength) const {
    const CborHead head = parseHead();
    if (!head.wellFormed() || !head.is(CborMajorType::kBytes) || head.isIndefinite() ||
        head.argument > length_ - head.headLength) {
        return false;
    }
    out = data_ + head.headLength;
    outLength = head.argument;
    return true;
}

bool CborView::getText(const char*& out, std::uint32_t& outLength) const {
    const CborHead head = parseHead();
    if (!head.wellFormed() || !head.is(CborMajorType::kText) || head.isIndefinite() ||
        head.argument > length_ - head.headLength) {
        return false;
    }
    out = reinterpret_cast<const char*>(data_ + head.headLength);
    outLength = head.argument;
    return true;
}

bool CborView::getTextString(std::string& out) const {
    const char* text = nullptr;
    std::uint32_t textLength = 0;
    if (!getText(text, textLength)) {
        return false;
    }
    out.assign(text, textLength);
    return true;
}

std::uint32_t CborView::getCount() const {
    const CborHead head = parseHead();
    if (!head.wellFormed() || head.majorType < toByte(CborMajorType::kBytes) ||
        head.majorType > toByte(CborMajorType::kMap)) {
        return 0;
    }
    return head.isIndefinite() ? kIndefiniteCount : head.argument;
}

std::uint8_t CborView::getSimple() const {
    const CborHead head = parseHead();
    return head.is(CborMajorType::kSimple) ? head.additionalInfo : kNotSimple;
}

std::uint32_t CborView::itemSize() const {
    CborWalker walker(data_, length_);
    CborWalkItem item;
    CborWalker::Step step = CborWalker::Step::kItem;
    while ((step = walker.next(item)) == CborWalker::Step::kItem) {
    }
    return step == CborWalker::Step::kDone ? walker.offset() : 0;
}

}  // namespace kelvora
