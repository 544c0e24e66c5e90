// kelvora-vkey: one virtual key served on a Unix-domain socket, or named pipes on Windows
// (see socket_server.h and daemon_options.h).
#include <mbedtls/platform_util.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "platform/command_line.h"
#include "project_version.h"
#include "vkey/daemon_options.h"
#include "vkey/key_crypto.h"
#include "vkey/sample_passkeys.h"
#include "vkey/socket_server.h"
#include "vkey/state_file.h"
#include "vkey/virtual_key.h"

namespace {

constexpr int kExitUsage = 2;
constexpr int kExitCorruptState = 3;
constexpr std::size_t kPinHashSize = 16;
constexpr const char* kUsage =
    "usage: kelvora-vkey [--socket PATH] [--model 1-7] [--firmware N] [--pin-file FILE]\n"
    "                    [--auto-touch MS] [--stranger] [--state FILE] [--reset-window MS]\n"
    "                    [--hostile MODE] [--passkeys N] [--ctap21]\n";
// What help2man turns into the manual page: one usage line, a description, the options.
constexpr const char* kHelp =
    "Usage: kelvora-vkey [--socket PATH] [OPTION]...\n"
    "\n"
    "Simulates one fingerprint FIDO2 security key of the maker on a Unix-domain socket,\n"
    "so that the tools can be tried and tested without hardware. Every message either\n"
    "way is one 64-byte CTAPHID packet; each connection is a plug-in of the key. On\n"
    "Windows PATH names two named pipes, \\\\.\\pipe\\PATH-out and -in, which the test\n"
    "rig's HID driver connects to.\n"
    "\n"
    "Options:\n"
    "  --socket PATH       listen on the Unix-domain socket PATH; default\n"
    "                      $XDG_RUNTIME_DIR/kelvora-vkey.sock. Only the user who\n"
    "                      started the daemon can connect (mode 0600, peer checked)\n"
    "  --model N           the model, 1-7 (1 and 2 are the legacy models); default 3\n"
    "  --firmware N        the firmware byte: 16 or lower uses DES secure messaging,\n"
    "                      17 AES, 18 and up the vendor command bytes\n"
    "  --pin-file FILE     start with the PIN on the first line of FILE set (4 to 63\n"
    "                      bytes); - reads it from standard input\n"
    "  --auto-touch MS     answer every wait for a finger with an enrolled finger\n"
    "                      after MS milliseconds\n"
    "  --stranger          with --auto-touch: answer with an unknown finger\n"
    "  --state FILE        keep the key's PIN, fingerprints and passkeys in FILE across\n"
    "                      restarts\n"
    "  --reset-window MS   how long after a plug-in a reset is accepted (10000)\n"
    "  --hostile MODE      make every answer misbehave in one way: none,\n"
    "                      length-beyond-message, truncated, wrong-cbor-types,\n"
    "                      bad-key-agreement, odd-token, endless-keepalive, silent,\n"
    "                      error-mid-message, bad-counts\n"
    "  --passkeys N        start with N sample passkeys on three sites when the state\n"
    "                      holds none (up to 25, or 50 on models 6 and 7)\n"
    "  --ctap21            report CTAP 2.1: credential management as 0x0A, not 0x41\n"
    "  --help              print this help and exit\n"
    "  --version           print the version and exit\n"
    "\n"
    "Point the tools at it with KELVORA_VKEY=PATH[:MODEL].\n"
    "\n"
    "Runs until SIGINT or SIGTERM, then removes the socket. Exit status: 0 when\n"
    "stopped so, 1 when the socket cannot be set up, 2 for a bad command line, 3 for\n"
    "a corrupt or unsafe state file (left untouched; it must be a plain file of\n"
    "yours that nobody else can write).\n";

}  // namespace

int main(int argc, char** argv) {
    using namespace kelvora::vkey;
    // UTF-8 on every system, as the state file's functions take paths (the C runtime's argv
    // is in the ANSI code page on Windows).
    const std::vector<std::string> arguments = kelvora::ProgramArguments(argc, argv);
    for (const std::string& arg : arguments) {
        if (arg == "--help" || arg == "-h") {
            (void)std::fputs(kHelp, stdout);
            return 0;
        }
        if (arg == "--version") {
            (void)std::printf("kelvora-vkey %s\n", kelvora::kProjectVersion);
            return 0;
        }
    }
    std::string error;
    const std::optional<DaemonOptions> options =
        ParseDaemonOptions(arguments, error, DefaultSocketPath(std::getenv("XDG_RUNTIME_DIR")));
    if (!options) {
        (void)std::fprintf(stderr, "kelvora-vkey: %s\n%s", error.c_str(), kUsage);
        return kExitUsage;
    }
    State state;
    const LoadStatus loaded =
        options->statePath ? LoadStateFile(*options->statePath, state) : LoadStatus::kMissing;
    if (loaded == LoadStatus::kCorrupt) {
        // Never overwrite what may be someone's only copy.
        (void)std::fprintf(stderr, "kelvora-vkey: state file %s is corrupt; leaving it alone\n",
                           options->statePath->c_str());
        return kExitCorruptState;
    }
    if (loaded == LoadStatus::kUnsafe) {
        // Whoever could write it could have chosen the PIN.
        (void)std::fprintf(stderr,
                           "kelvora-vkey: state file %s is a link, not yours, or writable by "
                           "others; refusing it\n",
                           options->statePath->c_str());
        return kExitCorruptState;
    }
    if (options->pinFile) {
        std::string pin;
        std::ifstream file;
        if (*options->pinFile != "-") {
            file.open(std::filesystem::path(
                std::u8string(options->pinFile->begin(), options->pinFile->end())));
        }
        std::istream& in = *options->pinFile == "-" ? std::cin : file;
        const bool read = ReadDaemonPin(in, pin, error);
        if (read) {
            Bytes hash = Sha256(Bytes(pin.begin(), pin.end()));
            hash.resize(kPinHashSize);
            state.pinHash = hash;
            state.pinRetries = options->config.maxPinRetries;
        }
        mbedtls_platform_zeroize(pin.data(), pin.size());
        if (!read) {
            (void)std::fprintf(stderr, "kelvora-vkey: %s: %s\n", options->pinFile->c_str(),
                               error.c_str());
            return kExitUsage;
        }
    }
    if (state.passkeys.empty() && !AddSamplePasskeys(state, options->passkeys)) {
        (void)std::fprintf(stderr, "kelvora-vkey: cannot make the sample passkeys\n");
        return kExitUsage;
    }
    SteadyClock clock;
    VirtualKey key(options->config, clock, std::move(state));
    key.SetAutoTouch(options->autoTouch);

    ServerHooks hooks;
    if (options->statePath) {
        hooks.onActivity = [&key, &options] {
            if (!SaveStateFile(*options->statePath, key.SnapshotState())) {
                (void)std::fprintf(stderr, "kelvora-vkey: cannot write %s\n",
                                   options->statePath->c_str());
            }
        };
    }
    const int result = ServeOnSocket(key, options->socketPath, hooks, error);
    if (result != 0) {
        (void)std::fprintf(stderr, "kelvora-vkey: %s\n", error.c_str());
        return result;
    }
    if (hooks.onActivity) {
        hooks.onActivity();
    }
    return 0;
}
