#include "vkey/key_cbor.h"

#include <algorithm>
#include <limits>

namespace kelvora::vkey {
namespace {

enum MajorType : std::uint8_t {
    kMajorUnsigned = 0,
    kMajorNegative = 1,
    kMajorBytes = 2,
    kMajorText = 3,
    kMajorArray = 4,
    kMajorMap = 5,
    kMajorTag = 6,
    kMajorSimple = 7,
};

constexpr std::uint8_t kAdditionalMask = 0x1F;
constexpr std::uint8_t kOneByteArgument = 24;
constexpr std::uint8_t kEightByteArgument = 27;
constexpr std::uint8_t kSimpleFalse = 20;
constexpr std::uint8_t kSimpleTrue = 21;
constexpr std::uint8_t kSimpleNull = 22;
constexpr int kMaxDepth = 8;

void AppendHead(Bytes& out, std::uint8_t major, std::uint64_t argument) {
    const auto first = static_cast<std::uint8_t>(major << 5);
    if (argument < kOneByteArgument) {
        out.push_back(static_cast<std::uint8_t>(first | argument));
        return;
    }
    int size = 8;
    std::uint8_t info = kEightByteArgument;
    if (argument <= 0xFF) {
        size = 1;
        info = kOneByteArgument;
    } else if (argument <= 0xFFFF) {
        size = 2;
        info = kOneByteArgument + 1;
    } else if (argument <= 0xFFFFFFFF) {
        size = 4;
        info = kOneByteArgument + 2;
    }
    out.push_back(static_cast<std::uint8_t>(first | info));
    for (int shift = (size - 1) * 8; shift >= 0; shift -= 8) {
        out.push_back(static_cast<std::uint8_t>(argument >> shift));
    }
}

}  // namespace

class CborDecoder {
  public:
    explicit CborDecoder(ByteView input) : input_(input) {}

    std::optional<CborItem> Item(int depth) {
        const std::size_t start = offset_;
        std::optional<CborItem> item = Parse(depth);
        if (item) {
            const auto begin = input_.begin();
            item->raw_.assign(begin + static_cast<std::ptrdiff_t>(start),
                              begin + static_cast<std::ptrdiff_t>(offset_));
        }
        return item;
    }

    std::size_t offset() const { return offset_; }

  private:
    std::optional<CborItem> Parse(int depth) {
        if (depth > kMaxDepth || offset_ >= input_.size()) {
            return std::nullopt;
        }
        const std::uint8_t initial = input_[offset_++];
        const auto major = static_cast<std::uint8_t>(initial >> 5);
        const std::uint8_t info = initial & kAdditionalMask;
        if (major == kMajorSimple) {
            return Simple(info);
        }
        std::uint64_t argument = 0;
        if (!Argument(info, argument)) {
            return std::nullopt;
        }
        switch (major) {
            case kMajorUnsigned:
                if (argument >
                    static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
                    return std::nullopt;
                }
                return CborItem::Int(static_cast<std::int64_t>(argument));
            case kMajorNegative: {
                if (argument >
                    static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
                    return std::nullopt;
                }
                CborItem item(CborItem::Type::kNegative);
                item.integer_ = -1 - static_cast<std::int64_t>(argument);
                return item;
            }
            case kMajorBytes:
            case kMajorText: {
                if (argument > input_.size() - offset_) {
                    return std::nullopt;
                }
                CborItem item(major == kMajorBytes ? CborItem::Type::kBytes
                                                   : CborItem::Type::kText);
                const auto begin = input_.begin() + static_cast<std::ptrdiff_t>(offset_);
                item.bytes_.assign(begin, begin + static_cast<std::ptrdiff_t>(argument));
                offset_ += argument;
                return item;
            }
            case kMajorArray: {
                // Every element takes at least one byte: a count beyond the input is a lie.
                if (argument > input_.size() - offset_) {
                    return std::nullopt;
                }
                CborItem item(CborItem::Type::kArray);
                for (std::uint64_t i = 0; i < argument; ++i) {
                    std::optional<CborItem> element = Item(depth + 1);
                    if (!element) {
                        return std::nullopt;
                    }
                    item.items_.push_back(std::move(*element));
                }
                return item;
            }
            case kMajorMap: {
                if (argument > (input_.size() - offset_) / 2) {
                    return std::nullopt;
                }
                CborItem item(CborItem::Type::kMap);
                for (std::uint64_t i = 0; i < argument; ++i) {
                    std::optional<CborItem> key = Item(depth + 1);
                    std::optional<CborItem> value = key ? Item(depth + 1) : std::nullopt;
                    if (!value) {
                        return std::nullopt;
                    }
                    for (const CborItem::Pair& existing : item.pairs_) {
                        if (existing.first == *key) {
                            return std::nullopt;  // duplicate keys make a request ambiguous
                        }
                    }
                    item.pairs_.emplace_back(std::move(*key), std::move(*value));
                }
                return item;
            }
            default:  // tags are not part of any CTAP2 request
                return std::nullopt;
        }
    }

    bool Argument(std::uint8_t info, std::uint64_t& argument) {
        if (info < kOneByteArgument) {
            argument = info;
            return true;
        }
        if (info > kEightByteArgument) {
            return false;  // reserved values and indefinite lengths
        }
        const std::size_t size = std::size_t{1} << (info - kOneByteArgument);
        if (size > input_.size() - offset_) {
            return false;
        }
        argument = 0;
        for (std::size_t i = 0; i < size; ++i) {
            argument = (argument << 8) | input_[offset_++];
        }
        return true;
    }

    static std::optional<CborItem> Simple(std::uint8_t info) {
        switch (info) {
            case kSimpleFalse:
                return CborItem::Bool(false);
            case kSimpleTrue:
                return CborItem::Bool(true);
            case kSimpleNull:
                return CborItem();
            default:
                return std::nullopt;
        }
    }

    ByteView input_;
    std::size_t offset_ = 0;
};

CborItem CborItem::Int(std::int64_t value) {
    CborItem item(value >= 0 ? Type::kUnsigned : Type::kNegative);
    item.integer_ = value;
    return item;
}

CborItem CborItem::ByteString(ByteView bytes) {
    CborItem item(Type::kBytes);
    item.bytes_.assign(bytes.begin(), bytes.end());
    return item;
}

CborItem CborItem::Text(std::string_view text) {
    CborItem item(Type::kText);
    item.bytes_.assign(text.begin(), text.end());
    return item;
}

CborItem CborItem::Bool(bool value) {
    CborItem item(Type::kBool);
    item.boolean_ = value;
    return item;
}

CborItem CborItem::Array(std::vector<CborItem> items) {
    CborItem item(Type::kArray);
    item.items_ = std::move(items);
    return item;
}

CborItem CborItem::Map(std::vector<Pair> pairs) {
    CborItem item(Type::kMap);
    item.pairs_ = std::move(pairs);
    return item;
}

const CborItem* CborItem::Find(std::int64_t key) const {
    for (const Pair& pair : pairs_) {
        if (pair.first.IsInteger() && pair.first.integer_ == key) {
            return &pair.second;
        }
    }
    return nullptr;
}

const CborItem* CborItem::Find(std::string_view key) const {
    for (const Pair& pair : pairs_) {
        if (pair.first.type_ == Type::kText &&
            std::equal(pair.first.bytes_.begin(), pair.first.bytes_.end(), key.begin(),
                       key.end())) {
            return &pair.second;
        }
    }
    return nullptr;
}

bool CborItem::operator==(const CborItem& other) const {
    // Compares values; where an item came from (raw_) does not matter.
    return type_ == other.type_ && integer_ == other.integer_ && boolean_ == other.boolean_ &&
           bytes_ == other.bytes_ && items_ == other.items_ && pairs_ == other.pairs_;
}

std::optional<CborItem> DecodeCborPrefix(ByteView input, std::size_t& consumed) {
    CborDecoder decoder(input);
    std::optional<CborItem> item = decoder.Item(0);
    consumed = item ? decoder.offset() : 0;
    return item;
}

std::optional<CborItem> DecodeCbor(ByteView input) {
    std::size_t consumed = 0;
    std::optional<CborItem> item = DecodeCborPrefix(input, consumed);
    if (!item || consumed != input.size()) {
        return std::nullopt;
    }
    return item;
}

void EncodeCbor(const CborItem& item, Bytes& out) {
    switch (item.type()) {
        case CborItem::Type::kUnsigned:
            AppendHead(out, kMajorUnsigned, static_cast<std::uint64_t>(item.integer()));
            break;
        case CborItem::Type::kNegative:
            AppendHead(out, kMajorNegative, static_cast<std::uint64_t>(-1 - item.integer()));
            break;
        case CborItem::Type::kBytes:
        case CborItem::Type::kText:
            AppendHead(out, item.type() == CborItem::Type::kBytes ? kMajorBytes : kMajorText,
                       item.bytes().size());
            out.insert(out.end(), item.bytes().begin(), item.bytes().end());
            break;
        case CborItem::Type::kArray:
            AppendHead(out, kMajorArray, item.items().size());
            for (const CborItem& element : item.items()) {
                EncodeCbor(element, out);
            }
            break;
        case CborItem::Type::kMap: {
            std::vector<std::pair<Bytes, Bytes>> encoded;
            for (const CborItem::Pair& pair : item.pairs()) {
                encoded.emplace_back(EncodeCbor(pair.first), EncodeCbor(pair.second));
            }
            std::sort(encoded.begin(), encoded.end(), [](const auto& a, const auto& b) {
                if (a.first.size() != b.first.size()) {
                    return a.first.size() < b.first.size();
                }
                return a.first < b.first;
            });
            AppendHead(out, kMajorMap, encoded.size());
            for (const auto& [key, value] : encoded) {
                out.insert(out.end(), key.begin(), key.end());
                out.insert(out.end(), value.begin(), value.end());
            }
            break;
        }
        case CborItem::Type::kBool:
            out.push_back(static_cast<std::uint8_t>((kMajorSimple << 5) |
                                                    (item.boolean() ? kSimpleTrue : kSimpleFalse)));
            break;
        case CborItem::Type::kNull:
            out.push_back(static_cast<std::uint8_t>((kMajorSimple << 5) | kSimpleNull));
            break;
    }
}

Bytes EncodeCbor(const CborItem& item) {
    Bytes out;
    EncodeCbor(item, out);
    return out;
}

}  // namespace kelvora::vkey
