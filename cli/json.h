// The --json output. Objects keep their members in the order they were set, so that the
// output is stable and diffable.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

namespace kelvora::cli {

using Json = nlohmann::ordered_json;

// Compact text on one line. Text that is not valid UTF-8 (a name in another encoding, a
// stray byte in a command-line word) has those bytes replaced by U+FFFD: the output stays
// valid JSON and nothing throws.
inline std::string DumpJson(const Json& value) {
    return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace kelvora::cli
