#include "platform/command_line.h"

#include <algorithm>

namespace kelvora {

bool HasResetOption(const std::vector<std::string>& arguments) {
    return std::any_of(arguments.begin(), arguments.end(), [](const std::string& argument) {
        return argument.size() == 2 && argument[0] == '-' &&
               (argument[1] == 'E' || argument[1] == 'e');
    });
}

std::string JoinCommandLine(const std::vector<std::string>& arguments) {
    std::string line;
    for (const std::string& argument : arguments) {
        if (!line.empty()) {
            line += ' ';
        }
        if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string::npos) {
            line += argument;
            continue;
        }
        line += '"';
        std::size_t backslashes = 0;
        for (const char c : argument) {
            if (c == '\\') {
                ++backslashes;
                continue;
            }
            // Backslashes count only before a quote: there each stands for half of a pair.
            line.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
            line += c;
            backslashes = 0;
        }
        // The closing quote follows, so the trailing ones are doubled too.
        line.append(2 * backslashes, '\\');
        line += '"';
    }
    return line;
}

}  // namespace kelvora
