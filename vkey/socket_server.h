// Serves a VirtualKey on a local channel: a Unix-domain SOCK_SEQPACKET socket on Linux, a
// pair of message-mode named pipes on Windows (socket_server_win.cpp). Every message in
// either direction is exactly one 64-byte CTAPHID packet without a report id; a connection
// is a plug-in and its end an unplug; connections are served one after another.
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

// Serves until SIGINT or SIGTERM (a console break on Windows). Returns 0, or 1 with `error`
// set when the channel cannot be set up. The socket file is removed on the way out. On
// Windows `path` names the pipes: \\.\pipe\PATH-out and \\.\pipe\PATH-in.
int ServeOnSocket(VirtualKey& key, const std::string& path, const ServerHooks& hooks,
                  std::string& error);

}  // namespace kelvora::vkey
