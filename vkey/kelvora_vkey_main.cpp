// kelvora-vkey: one virtual key served on a Unix-domain socket (see socket_server.h and
// daemon_options.h).
#include <cstdio>
#include <string>
#include <vector>

#include "vkey/daemon_options.h"
#include "vkey/key_crypto.h"
#include "vkey/socket_server.h"
#include "vkey/state_file.h"
#include "vkey/virtual_key.h"

namespace {

constexpr int kExitUsage = 2;
constexpr int kExitCorruptState = 3;
constexpr std::size_t kPinHashSize = 16;
constexpr const char* kUsage =
    "usage: kelvora-vkey --socket PATH [--model 1-7] [--firmware N] [--pin PIN]\n"
    "                    [--auto-touch MS] [--stranger] [--state FILE] [--reset-window MS]\n"
    "                    [--hostile MODE]\n";

}  // namespace

int main(int argc, char** argv) {
    using namespace kelvora::vkey;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            (void)std::fputs(kUsage, stdout);
            return 0;
        }
    }
    std::string error;
    const std::optional<DaemonOptions> options =
        ParseDaemonOptions(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!options) {
        (void)std::fprintf(stderr, "kelvora-vkey: %s\n%s", error.c_str(), kUsage);
        return kExitUsage;
    }
    State state;
    if (options->statePath && LoadStateFile(*options->statePath, state) == LoadStatus::kCorrupt) {
        // Never overwrite what may be someone's only copy.
        (void)std::fprintf(stderr, "kelvora-vkey: state file %s is corrupt; leaving it alone\n",
                           options->statePath->c_str());
        return kExitCorruptState;
    }
    if (options->pin) {
        Bytes hash = Sha256(Bytes(options->pin->begin(), options->pin->end()));
        hash.resize(kPinHashSize);
        state.pinHash = hash;
        state.pinRetries = options->config.maxPinRetries;
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
