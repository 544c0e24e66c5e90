// Serves a VirtualKey on a Unix-domain SOCK_SEQPACKET socket: every message in either
// direction is exactly one 64-byte CTAPHID packet without a report id; a connection is a
// plug-in and its end an unplug; connections are served one after another.
#pragma once

#include <functional>
#include <string>

#include "vkey/virtual_key.h"

namespace kelvora::vkey {

struct ServerHooks {
    // Runs after a response message went out and after each disconnection, so the daemon
    // can save its state.
    std::function<void()> onActivity;
};

// Serves until SIGINT or SIGTERM. Returns 0, or 1 with `error` set when the socket cannot
// be set up. The socket file is removed on the way out.
int ServeOnSocket(VirtualKey& key, const std::string& path, const ServerHooks& hooks,
                  std::string& error);

}  // namespace kelvora::vkey
