// Diagnostic lines for a developer watching the tool: the debugger output on Windows,
// standard error on Linux when KELVORA_DEBUG=1 is set in the environment. Never shown to
// the user and never written to a file; nothing secret (PIN, token) may be written here.
#pragma once

#include <string_view>

namespace kelvora {

class DebugOutput {
  public:
    virtual ~DebugOutput() = default;

    // Writes one line. Implementations must be safe to call from any thread.
    virtual void Write(std::string_view line) = 0;
};

// The platform's debug channel.
DebugOutput& SystemDebugOutput();

// Formats like printf into a 1024-byte line (longer output is cut) and writes it.
void DebugPrintf(DebugOutput& output, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;

}  // namespace kelvora
