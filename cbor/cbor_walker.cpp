#include "cbor/cbor_walker.h"

namespace kelvora {

namespace {

bool isString(const CborHead& head) {
    return head.is(CborMajorType::kBytes) || head.is(CborMajorType::kText);
}

}  // namespace

bool CborWalker::open(Counter items) {
    if (depth_ == kMaxCborNesting) {
        return false;
    }
    outer_[depth_++] = left_;
    left_ = items;
    return true;
}

void CborWalker::closeFinishedLevels() {
    while (left_ == 0) {
        if (depth_ == 0) {
            state_ = Step::kDone;
            return;
        }
        left_ = outer_[--depth_];
    }
}

CborWalker::Step CborWalker::next(CborWalkItem& item) {
    if (state_ != Step::kItem) {
        return state_;
    }
    item = CborWalkItem{};
    item.offset = offset_;
    item.depth = depth_;
    if (offset_ >= length_ || data_ == nullptr) {
        return fail();
    }
    const std::uint32_t available = length_ - offset_;
    item.head = parseCborHead(data_ + offset_, available);
    const CborHead& head = item.head;
    if (!head.wellFormed()) {
        return fail();
    }
    item.size = head.headLength;

    if (head.isBreak()) {
        if (left_ != kUntilBreak) {
            return fail();  // a break outside any indefinite-length level
        }
        left_ = 0;
    } else {
        if (left_ != kUntilBreak) {
            --left_;
        }
        // Every nested item takes at least one byte, so a count beyond the bytes left is
        // truncated input; rejecting it early also bounds the walk by the data length.
        const Counter bytesLeft = available - head.headLength;
        if (head.isIndefinite()) {
            if (!open(kUntilBreak)) {
                return fail();
            }
        } else if (isString(head)) {
            if (head.argument > bytesLeft) {
                return fail();
            }
            item.size += head.argument;
        } else if (head.is(CborMajorType::kArray) || head.is(CborMajorType::kMap)) {
            const Counter items =
                head.is(CborMajorType::kMap) ? Counter{head.argument} * 2 : head.argument;
            if (items > bytesLeft || (items > 0 && !open(items))) {
                return fail();
            }
        } else if (head.is(CborMajorType::kTag)) {
            // A tag on a tag: the tagged content is one more item belonging to this one.
            if (!open(1)) {
                return fail();
            }
        }
    }
    closeFinishedLevels();
    offset_ += item.size;
    return Step::kItem;
}

}  // namespace kelvora
