// The daemon's state file parser on arbitrary text: a state it accepts must write out and
// read back as the same state.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "vkey/state_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kelvora::vkey;
    State state;
    if (!ParseState(std::string(reinterpret_cast<const char*>(data), size), state)) {
        return 0;
    }
    const std::string text = SerializeState(state);
    State again;
    if (!ParseState(text, again) || SerializeState(again) != text) {
        std::abort();
    }
    return 0;
}
