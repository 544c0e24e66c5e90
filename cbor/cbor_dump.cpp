// CborView::dump: the diagnostic text of one item, one line per nested item.
#include <cinttypes>
#include <cstdio>
#include <ostream>

#include "cbor/cbor_view.h"
#include "cbor/cbor_walker.h"

namespace kelvora {

namespace {

constexpr const char* kLineEnd = "\r\n";

void appendFormatted(std::string& out, const char* format, std::uint64_t value) {
    char text[32];
    static_cast<void>(std::snprintf(text, sizeof text, format, value));
    out += text;
}

void appendSigned(std::string& out, std::int64_t value) {
    char text[32];
    static_cast<void>(std::snprintf(text, sizeof text, "%" PRId64, value));
    out += text;
}

const char* simpleName(std::uint8_t value) {
    switch (value) {
        case kCborFalse:
            return "false";
        case kCborTrue:
            return "true";
        case kCborNull:
            return "null";
        case kCborUndefined:
            return "undefined";
        case kCborHalfFloat:
            return "half float";
        case kCborSingleFloat:
            return "single float";
        case kCborDoubleFloat:
            return "double float";
        default:
            return nullptr;  // other simple values print nothing
    }
}

void appendContainer(std::string& out, const char* name, const CborHead& head) {
    if (head.isIndefinite()) {
        out += name;
        out += ":";
        out += kLineEnd;
    } else if (head.argument > 0) {
        // An empty array or map prints nothing after its indentation, not even a line end.
        out += name;
        appendFormatted(out, ": %" PRIu64, head.argument);
        out += kLineEnd;
    }
}

// Appends the line of one item (after its indentation); false when the dump must stop.
bool appendItem(std::string& out, const std::uint8_t* item, const CborHead& head) {
    if (head.tag != kCborNoTag) {
        appendFormatted(out, "[%" PRIu64 "] ", head.tag);
    }
    const std::uint8_t* content = item + head.headLength;
    switch (static_cast<CborMajorType>(head.majorType)) {
        case CborMajorType::kUnsigned:
            appendFormatted(out, "%" PRIu64, head.argument);
            out += kLineEnd;
            break;
        case CborMajorType::kNegative:
            appendSigned(out, -1 - std::int64_t{head.argument});
            out += kLineEnd;
            break;
        case CborMajorType::kBytes:
            if (head.isIndefinite()) {
                out += "Bytes:";
            } else {
                for (std::uint32_t i = 0; i < head.argument; ++i) {
                    appendFormatted(out, "%02" PRIX64, content[i]);
                }
            }
            out += kLineEnd;
            break;
        case CborMajorType::kText:
            if (head.isIndefinite()) {
                out += "String:";
            } else {
                out.append(reinterpret_cast<const char*>(content), head.argument);
            }
            out += kLineEnd;
            break;
        case CborMajorType::kArray:
            appendContainer(out, "Array", head);
            break;
        case CborMajorType::kMap:
            appendContainer(out, "Map", head);
            break;
        case CborMajorType::kTag:
            out += "error";  // a tag on a tag
            out += kLineEnd;
            return false;
        case CborMajorType::kSimple:
            if (const char* name = simpleName(head.additionalInfo)) {
                out += name;
                out += kLineEnd;
            }
            break;
    }
    return true;
}

}  // namespace

std::string CborView::dumpText() const {
    std::string out;
    CborWalker walker(data_, length_);
    CborWalkItem item;
    CborWalker::Step step = CborWalker::Step::kItem;
    while ((step = walker.next(item)) == CborWalker::Step::kItem) {
        if (item.head.isBreak()) {
            continue;
        }
        out.append(item.depth, '\t');
        if (!appendItem(out, data_ + item.offset, item.head)) {
            return out;
        }
    }
    if (step == CborWalker::Step::kMalformed) {
        out.append(item.depth, '\t');
        const bool doubleFloat =
            item.head.is(CborMajorType::kSimple) && item.head.additionalInfo == kCborDoubleFloat;
        out += doubleFloat ? "double float" : "error";
        out += kLineEnd;
    }
    return out;
}

void CborView::dump(std::FILE* out) const {
    const std::string text = dumpText();
    static_cast<void>(std::fwrite(text.data(), 1, text.size(), out));
}

void CborView::dump() const {
    dump(stdout);
}

void CborView::dump(std::ostream& out) const {
    const std::string text = dumpText();
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

}  // namespace kelvora
