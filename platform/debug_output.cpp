#include "platform/debug_output.h"

#include <cstdarg>
#include <cstdio>
#include <string_view>

namespace kelvora {

namespace {
constexpr int kDebugLineSize = 1024;
}

void DebugPrintf(DebugOutput& output, const char* format, ...) {
    char line[kDebugLineSize] = {};
    va_list args;
    va_start(args, format);
    const int written = std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    if (written < 0) {
        return;
    }
    const auto length = written < kDebugLineSize ? written : kDebugLineSize - 1;
    output.Write(std::string_view(line, static_cast<std::size_t>(length)));
}

}  // namespace kelvora
