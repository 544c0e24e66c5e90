// A small JSON value for the --json output: objects keep their members in insertion order so
// that the output is stable and diffable.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kelvora::cli {

class Json {
  public:
    Json() = default;              // null
    Json(bool value);              // NOLINT(google-explicit-constructor): values read naturally
    Json(int value);               // NOLINT(google-explicit-constructor)
    Json(std::int64_t value);      // NOLINT(google-explicit-constructor)
    Json(std::string value);       // NOLINT(google-explicit-constructor)
    Json(std::string_view value);  // NOLINT(google-explicit-constructor)
    Json(const char* value);       // NOLINT(google-explicit-constructor)

    static Json Object();
    static Json Array();

    // Adds (or replaces) a member of an object.
    Json& Set(std::string_view key, Json value);
    // Appends an element to an array.
    Json& Push(Json value);
    // Copies every member of another object into this one.
    Json& Merge(const Json& other);

    // Compact text, one line, strings escaped per RFC 8259 §7 (input is UTF-8; bytes of
    // invalid UTF-8 are passed through unchanged rather than dropped).
    std::string Dump() const;

  private:
    enum class Kind { kNull, kBool, kNumber, kString, kArray, kObject };
    void DumpTo(std::string& out) const;

    Kind kind_ = Kind::kNull;
    bool bool_ = false;
    std::int64_t number_ = 0;
    std::string string_;
    std::vector<Json> items_;
    std::vector<std::pair<std::string, Json>> members_;
};

}  // namespace kelvora::cli
