// On Windows diagnostics go to the debugger output, where a developer reads them with a
// debugger or a debug-view tool; a user never sees them.
#include <windows.h>

#include <string>

#include "platform/debug_output.h"

namespace kelvora {
namespace {

class DebuggerOutput final : public DebugOutput {
  public:
    void Write(std::string_view line) override {
        const std::string text(line);  // OutputDebugStringA wants a terminated string
        OutputDebugStringA(text.c_str());
    }
};

}  // namespace

DebugOutput& SystemDebugOutput() {
    static DebuggerOutput output;
    return output;
}

}  // namespace kelvora
