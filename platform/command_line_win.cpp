#include <windows.h>
// after windows.h, which it needs
#include <shellapi.h>

#include "platform/command_line.h"

namespace kelvora {
namespace {

std::string ToUtf8(const wchar_t* text) {
    const int length = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 1) {
        return {};
    }
    std::string out(static_cast<std::size_t>(length - 1), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), length, nullptr, nullptr);
    return out;
}

}  // namespace

// argv from the C runtime is in the ANSI code page and splits differently; the wide command
// line split by the shell is what the tool has always read.
std::vector<std::string> ProgramArguments(int /*argc*/, char** /*argv*/) {
    std::vector<std::string> arguments;
    int count = 0;
    wchar_t** split = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (split == nullptr) {
        return arguments;
    }
    // The first element is the program name.
    for (int i = 1; i < count; ++i) {
        arguments.push_back(ToUtf8(split[i]));
    }
    ::LocalFree(split);
    return arguments;
}

}  // namespace kelvora
