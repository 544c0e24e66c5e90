// The --help texts; docs/cli.md is rendered from them.
#include <array>
#include <string_view>

#include "cli/commands.h"
#include "project_version.h"

namespace kelvora::cli {

namespace {

struct HelpEntry {
    std::string_view topic;
    std::string_view text;
};

constexpr std::string_view kCommonOptions =
    "Options for every command:\n"
    "  --json             print one JSON object on standard output (errors too)\n"
    "  --device PATH      use the key at PATH (/dev/hidrawN) when several are attached\n"
    "  --virtual MODEL    use an in-process virtual key of model 1-7\n"
    "  --state FILE       with --virtual: keep the virtual key's state in FILE\n"
    "  --help             show the help of the command\n"
    "Environment: KELVORA_VKEY=PATH[:MODEL] adds the virtual key daemon at PATH.\n";

constexpr std::string_view kPinOptions =
    "PIN input (PINs are never needed on the command line):\n"
    "  (default)          prompt on the terminal without echo\n"
    "  --pin-stdin        read PINs from standard input, one per line\n"
    "  --pin-fd N         read PINs from file descriptor N, one per line\n"
    "  --insecure-pin-argument\n"
    "                     INSECURE: allow --pin and --new-pin, which show the PIN to\n"
    "                     every user of the machine in the process list\n"
    "  --pin PIN          the PIN itself (only with --insecure-pin-argument)\n"
    "  --new-pin PIN      the new PIN of 'pin change' (the same)\n"
    "A PIN has 4 to 63 characters, at most 63 bytes in UTF-8 for a CTAP2 key and only\n"
    "characters of code page 932 for a legacy model; any other is refused with exit 2\n"
    "before the key is asked, so it costs no retry.\n";

constexpr std::array<HelpEntry, 18> kHelp = {{
    {"",
     "Usage: kelvora-fido2 [OPTIONS] COMMAND [ARGUMENTS]\n"
     "  or:  kelvora-fido2 --version\n"
     "\n"
     "Administers fingerprint FIDO2 security keys.\n"
     "\n"
     "Commands:\n"
     "  list                         supported keys found\n"
     "  info                         the key's PIN, fingerprint and protocol state\n"
     "  pin set|change|verify|retries\n"
     "                               the PIN: set, change, check, retries left\n"
     "  fingerprints list|enroll|rename|delete|verify\n"
     "                               list, enrol, rename, delete or test fingerprints\n"
     "  passkeys list|delete         list or delete the passkeys the key holds\n"
     "  reset                        factory reset\n"
     "\n"
     "  --version                    print the program's version and exit\n"
     "\n"
     "Exit status: 0 success, 1 key error, 2 usage or bad input, 3 no key, 4 access\n"
     "denied, 5 wrong PIN (retries left), 6 PIN blocked, 7 finger not matched,\n"
     "130 cancelled.\n"},
    {"list",
     "Usage: kelvora-fido2 list\n"
     "\n"
     "Lists the supported keys: path, model, product id, product name, firmware byte,\n"
     "and any access problem (a key that cannot be opened is listed with the fix).\n"},
    {"info",
     "Usage: kelvora-fido2 info\n"
     "\n"
     "Shows the key's facts: path, model, product id and name, firmware byte, whether\n"
     "a PIN is set and its retries left, whether fingerprints are configured and how\n"
     "many, enrollment support, the command set (standard, vendor, legacy), the\n"
     "secure-messaging kind (des, aes), and from GetInfo the CTAP versions, AAGUID,\n"
     "every option with its value, max message size and PIN protocols. Keys that list\n"
     "their fingerprints only under the PIN tell the number when a PIN is given\n"
     "(--pin-stdin, --pin-fd); info never prompts for one. Keys that manage passkeys\n"
     "also tell, under the PIN given, how many they hold and how many more they take.\n"},
    {"pin",
     "Usage: kelvora-fido2 pin set|change|verify|retries\n"
     "\n"
     "  set       give a key without a PIN its first PIN (4 to 63 characters)\n"
     "  change    change the PIN: current PIN, then the new one\n"
     "  verify    check a PIN (a wrong PIN uses up one retry)\n"
     "  retries   the PIN retries left\n"},
    {"pin set",
     "Usage: kelvora-fido2 pin set\n"
     "\n"
     "Sets the first PIN. At a terminal the new PIN is asked twice.\n"},
    {"pin change",
     "Usage: kelvora-fido2 pin change\n"
     "\n"
     "Changes the PIN. Reads the current PIN, then the new one (4 to 63 characters).\n"
     "A wrong current PIN exits with 5 and tells the retries left.\n"},
    {"pin verify",
     "Usage: kelvora-fido2 pin verify\n"
     "\n"
     "Checks a PIN against the key. Exit 0 when it is right, 5 when wrong, 6 when\n"
     "blocked.\n"},
    {"pin retries",
     "Usage: kelvora-fido2 pin retries\n"
     "\n"
     "Shows how many wrong PINs the key still accepts; a key without a PIN has none\n"
     "and says so.\n"},
    {"fingerprints",
     "Usage: kelvora-fido2 fingerprints list|enroll|rename|delete|verify\n"
     "\n"
     "  list                  slot, name and enrolment time (local time)\n"
     "  enroll [--name NAME]  enrol a new fingerprint (on a new key also --set-pin or\n"
     "                        --fingerprint-only)\n"
     "  rename SLOT NAME      rename a fingerprint (2 to 8 characters)\n"
     "  delete SLOT           delete a fingerprint\n"
     "  verify                check a finger against the enrolled ones\n"
     "\n"
     "Changes need the PIN when one is set, otherwise an enrolled finger.\n"},
    {"fingerprints list",
     "Usage: kelvora-fido2 fingerprints list\n"
     "\n"
     "Lists the enrolled fingerprints: slot, name, enrolment time in local time.\n"},
    {"fingerprints enroll",
     "Usage: kelvora-fido2 fingerprints enroll [--name NAME] [--set-pin|--fingerprint-only]\n"
     "\n"
     "Enrols a fingerprint; progress of every sample is shown on standard error.\n"
     "A key holds at most 49 fingerprints. Ctrl-C cancels the enrollment on the key.\n"
     "\n"
     "On a key with neither a PIN nor a fingerprint the first fingerprint decides how\n"
     "the key is protected, and the command does not choose:\n"
     "  --set-pin            set a PIN first, read from the PIN input (asked twice at\n"
     "                       a terminal); --pin-stdin, --pin-fd and --pin do the same\n"
     "  --fingerprint-only   enrol without a PIN\n"
     "With neither the command stops with exit 2.\n"},
    {"fingerprints rename",
     "Usage: kelvora-fido2 fingerprints rename SLOT NAME\n"
     "\n"
     "Gives the fingerprint in SLOT (0-255) the name NAME (2 to 8 characters). The\n"
     "enrolment time is kept.\n"},
    {"fingerprints delete",
     "Usage: kelvora-fido2 fingerprints delete SLOT\n"
     "\n"
     "Deletes the fingerprint in SLOT. The last fingerprint of a key without a PIN\n"
     "cannot be deleted.\n"},
    {"reset",
     "Usage: kelvora-fido2 reset [--yes]\n"
     "\n"
     "Resets the key to its factory settings, erasing its PIN, fingerprints and\n"
     "passkeys. With a PIN given (--pin-stdin, --pin-fd) a key that manages passkeys\n"
     "first says how many it holds. Asks for confirmation unless --yes is given. A key that "
     "refuses because it was\n"
     "plugged in too long ago is re-plugged: the command waits for it to come back and\n"
     "sends the reset within its 10 seconds, counting down.\n"},
    {"fingerprints verify",
     "Usage: kelvora-fido2 fingerprints verify\n"
     "\n"
     "Asks for a finger and checks it. Exit 0 on a match, 7 when it did not match.\n"},
    {"passkeys",
     "Usage: kelvora-fido2 passkeys list|delete\n"
     "\n"
     "  list                    every site with its passkeys, the total and the room left\n"
     "  delete CREDENTIAL-ID    delete one passkey\n"
     "\n"
     "The key shows its passkeys only under its PIN, which is asked for. Credential ids\n"
     "are written in base64url without padding, as sites write them.\n"},
    {"passkeys list",
     "Usage: kelvora-fido2 passkeys list\n"
     "\n"
     "Lists the passkeys per site: user name, display name and credential id, then\n"
     "the number per site and in total, and how many more the key takes.\n"},
    {"passkeys delete",
     "Usage: kelvora-fido2 passkeys delete CREDENTIAL-ID [--yes]\n"
     "\n"
     "Deletes the passkey with CREDENTIAL-ID (base64url, as 'passkeys list' shows it)\n"
     "after naming its user and site and asking for confirmation, unless --yes is\n"
     "given. The site no longer accepts the passkey afterwards.\n"},
}};

bool NeedsPin(std::string_view topic) {
    return topic.starts_with("pin") || topic == "info" || topic == "fingerprints enroll" ||
           topic == "fingerprints rename" || topic == "fingerprints delete" ||
           topic.starts_with("passkeys") || topic == "reset";
}

}  // namespace

std::string HelpText(const std::vector<std::string>& words) {
    std::string topic;
    for (std::size_t i = 0; i < words.size() && i < 2; ++i) {
        topic += (i == 0 ? "" : " ") + words[i];
    }
    std::string_view text;
    for (const auto& entry : kHelp) {
        if (entry.topic == topic) {
            text = entry.text;
        }
    }
    if (text.empty()) {
        return {};
    }
    std::string help(text);
    if (NeedsPin(topic)) {
        help += "\n";
        help += kPinOptions;
    }
    help += "\n";
    help += kCommonOptions;
    return help;
}

std::string VersionText() {
    return std::string("kelvora-fido2 ") + kProjectVersion + "\n";
}

std::vector<std::vector<std::string>> HelpTopics() {
    return {{},
            {"list"},
            {"info"},
            {"pin"},
            {"pin", "set"},
            {"pin", "change"},
            {"pin", "verify"},
            {"pin", "retries"},
            {"fingerprints"},
            {"fingerprints", "list"},
            {"fingerprints", "enroll"},
            {"fingerprints", "rename"},
            {"fingerprints", "delete"},
            {"fingerprints", "verify"},
            {"passkeys"},
            {"passkeys", "list"},
            {"passkeys", "delete"},
            {"reset"}};
}

}  // namespace kelvora::cli
