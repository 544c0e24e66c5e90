#include "platform/command_line.h"

#include <algorithm>

namespace kelvora {

bool HasResetOption(const std::vector<std::string>& arguments) {
    return std::any_of(arguments.begin(), arguments.end(), [](const std::string& argument) {
        return argument.size() == 2 && argument[0] == '-' &&
               (argument[1] == 'E' || argument[1] == 'e');
    });
}

}  // namespace kelvora
