// A virtual key daemon (kelvora-vkey) reached over its Unix-domain SOCK_SEQPACKET socket.
//
// The one interface it lists is the socket, while it exists, with the maker's vendor id,
// the product id of the configured model and the path "SOCKET#vid_4b56&pid_XXXX". Each
// message on the socket is one 64-byte CTAPHID packet without the report id byte, which
// the connection strips from written reports and adds to read ones. A connection is a
// plug-in for the daemon and its end an unplug; when the daemon goes away, reads and
// writes fail at once. The daemon serves one connection at a time: a second one waits
// until the first is closed.
#pragma once

#include <memory>
#include <string>

#include "transport/hid_backend.h"
#include "transport/vkey_socket_setting.h"

namespace kelvora {

// Null, with `error` set, when the platform has no such sockets or the path cannot be
// used for one.
std::unique_ptr<HidBackend> MakeVkeySocketBackend(const VkeySocketSetting& setting,
                                                  std::string& error);

}  // namespace kelvora
