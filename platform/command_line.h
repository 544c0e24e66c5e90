// The tool's command line: the arguments after the program name, and the one option it
// reads, "-E" (reset the key right after start-up).
#pragma once

#include <string>
#include <vector>

namespace kelvora {

// The arguments after the program name, in UTF-8. Windows splits the command-line tail
// with the shell's rules (CommandLineToArgvW); Linux takes argv as given. A command line
// that cannot be split gives no arguments.
std::vector<std::string> ProgramArguments(int argc, char** argv);

// True when any argument is "-E" in either letter case. Only the whole argument counts:
// "/E", "E", "--E" and "-Ex" do not.
bool HasResetOption(const std::vector<std::string>& arguments);

// The arguments as one command-line tail that the shell's rules split back into the same
// arguments: one is quoted when it is empty or holds a blank or a quote, and backslashes
// are doubled where a quote follows them.
std::string JoinCommandLine(const std::vector<std::string>& arguments);

}  // namespace kelvora
