// What --help and --version print. Plain text, so that the manual page can be generated
// from it (help2man) and both work without a display.
#pragma once

#include <string>

namespace kelvora {

std::string AppHelpText();
std::string AppVersionText();

}  // namespace kelvora
