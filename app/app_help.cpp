#include "app/app_help.h"

#include <string_view>

#include "project_version.h"

namespace kelvora {
namespace {

constexpr std::string_view kProgram = "kelvora-fido2-manager";

// The layout follows what help2man reads: a "Usage:" line, a description, option lines
// indented by two spaces, and headings ending in a colon.
constexpr std::string_view kHelp =
    "Usage: kelvora-fido2-manager [-E] [--virtual MODEL] [--screenshots DIR]\n"
    "                             [--screenshot FILE]\n"
    "\n"
    "Looks after a fingerprint FIDO2 security key of the maker: shows whether a\n"
    "supported key is plugged in, sets or changes its PIN, enrols, lists, renames\n"
    "and deletes fingerprints, tests a finger, lists and deletes the passkeys the\n"
    "key holds, and resets the key. Nothing is stored on the computer: the PIN, the\n"
    "fingerprints, their names and the passkeys live on the key.\n"
    "\n"
    "Only one copy runs per user; a second start exits at once. On Linux the keys\n"
    "are read through hidraw: the udev rule installed with the program lets the\n"
    "logged-in user open them. The tool says when a key is present but cannot be\n"
    "opened.\n"
    "\n"
    "Options:\n"
    "  -E                 reset the key right after start-up (either letter case)\n"
    "  --virtual MODEL    also list an in-process virtual key of model 1-7 (1 and 2\n"
    "                     are the legacy models), plugged in at start, with a panel\n"
    "                     beside the main window that touches its sensor and plugs\n"
    "                     it in and out\n"
    "  --screenshots DIR  walk the main window through its states and the passkey\n"
    "                     window on a virtual key (model 3 unless --virtual says\n"
    "                     otherwise) without showing them, write a picture of each\n"
    "                     into DIR and exit\n"
    "  --screenshot FILE  the same for the first state alone: the key found with three\n"
    "                     sample fingerprints, written to FILE\n"
    "  --help             print this help and exit\n"
    "  --version          print the version and exit\n";

}  // namespace

std::string AppHelpText() {
    return std::string(kHelp);
}

std::string AppVersionText() {
    return std::string(kProgram) + " " + kProjectVersion + "\n";
}

}  // namespace kelvora
