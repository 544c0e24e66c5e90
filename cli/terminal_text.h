// Text from the key (product name, fingerprint names, versions) on its way to a terminal:
// a key chooses those bytes, and control characters in them could move the cursor, rewrite
// what was printed or set the window's title. JSON output escapes them by itself.
#pragma once

#include <string>
#include <string_view>

namespace kelvora::cli {

// `text` with the C0 controls and DEL as "\xNN" and the C1 controls (U+0080 to U+009F, in
// UTF-8) as "\u00NN"; everything else unchanged.
std::string TerminalSafe(std::string_view text);

}  // namespace kelvora::cli
