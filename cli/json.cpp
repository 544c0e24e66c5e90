#include "cli/json.h"

#include <string_view>

namespace kelvora::cli {

namespace {

void AppendEscaped(std::string& out, std::string_view text) {
    out += '"';
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (byte < 0x20) {
                    constexpr std::string_view kHexDigits = "0123456789abcdef";
                    out += "\\u00";
                    out += kHexDigits[byte >> 4];
                    out += kHexDigits[byte & 0x0F];
                } else {
                    out += c;
                }
        }
    }
    out += '"';
}

}  // namespace

Json::Json(bool value) : kind_(Kind::kBool), bool_(value) {}
Json::Json(int value) : kind_(Kind::kNumber), number_(value) {}
Json::Json(std::int64_t value) : kind_(Kind::kNumber), number_(value) {}
Json::Json(std::string value) : kind_(Kind::kString), string_(std::move(value)) {}
Json::Json(std::string_view value) : kind_(Kind::kString), string_(value) {}
Json::Json(const char* value) : kind_(Kind::kString), string_(value) {}

Json Json::Object() {
    Json json;
    json.kind_ = Kind::kObject;
    return json;
}

Json Json::Array() {
    Json json;
    json.kind_ = Kind::kArray;
    return json;
}

Json& Json::Set(std::string_view key, Json value) {
    for (auto& member : members_) {
        if (member.first == key) {
            member.second = std::move(value);
            return *this;
        }
    }
    members_.emplace_back(std::string(key), std::move(value));
    return *this;
}

Json& Json::Push(Json value) {
    items_.push_back(std::move(value));
    return *this;
}

Json& Json::Merge(const Json& other) {
    for (const auto& member : other.members_) {
        Set(member.first, member.second);
    }
    return *this;
}

std::string Json::Dump() const {
    std::string out;
    DumpTo(out);
    return out;
}

void Json::DumpTo(std::string& out) const {
    switch (kind_) {
        case Kind::kNull:
            out += "null";
            break;
        case Kind::kBool:
            out += bool_ ? "true" : "false";
            break;
        case Kind::kNumber:
            out += std::to_string(number_);
            break;
        case Kind::kString:
            AppendEscaped(out, string_);
            break;
        case Kind::kArray: {
            out += '[';
            bool first = true;
            for (const auto& item : items_) {
                if (!first) {
                    out += ',';
                }
                first = false;
                item.DumpTo(out);
            }
            out += ']';
            break;
        }
        case Kind::kObject: {
            out += '{';
            bool first = true;
            for (const auto& [key, value] : members_) {
                if (!first) {
                    out += ',';
                }
                first = false;
                AppendEscaped(out, key);
                out += ':';
                value.DumpTo(out);
            }
            out += '}';
            break;
        }
    }
}

}  // namespace kelvora::cli
